#pragma once
// The window's fonts. The designed faces are Windows ones; each request lists the closest
// faces other machines tend to have, and a style hint lets the font matcher finish the job.

#include <QFont>

namespace kv218 {

// "MS Sans Serif", character height 11 pixels: the window, its selectors and the gauge.
QFont FormFont();
// The status bar's system font (UseSystemFont).
QFont StatusBarFont();
// "Consolas", character height 13 pixels, monospaced: the log pane.
QFont LogFont();
// A bold face of the given pixel height for the words painted on the button pictures.
QFont PictureFont(int pixelHeight);

}  // namespace kv218

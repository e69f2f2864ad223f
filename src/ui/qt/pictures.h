#pragma once
// The pictures of the window, painted in code so that the project owns every pixel.

#include <QColor>
#include <QImage>
#include <QList>

namespace kv218 {

// 80 x 80 button pictures on a transparent ground.
QImage LoadFilePicture();    // an open yellow folder holding a sheet, above "Load File"
QImage PcToTargetPicture();  // "PC", a green arrow pointing down, "Target"
QImage PcToKv218Picture();   // "PC", a green arrow pointing down, "KV-218"
// 16 x 16 serial connector plug, drawn in the 16 standard colours only.
QImage SerialPlugIcon();

// The 16 colours of the classic 16-colour palette.
QList<QColor> SixteenColours();

}  // namespace kv218

#include "ui/qt/fonts.h"

#include <QApplication>
#include <QStringList>

namespace kv218 {

namespace {

QFont Face(const QStringList& families, int pixelHeight, QFont::StyleHint hint) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPixelSize(pixelHeight);
  return font;
}

}  // namespace

// Narrow sans faces first: the design's texts were measured in them ("checksum" must fit
// its 60-pixel panel), and a wide face would clip them.
const QStringList kSansFallbacks{"Tahoma", "Arial", "Liberation Sans", "DejaVu Sans Condensed",
                                 "DejaVu Sans"};

QFont FormFont() {
  return Face(QStringList{"MS Sans Serif", "Microsoft Sans Serif"} + kSansFallbacks, 11,
              QFont::SansSerif);
}

QFont StatusBarFont() {
  // The status-bar font of the system the design was made on, then the platform's own face.
  return Face(QStringList{"Segoe UI"} + kSansFallbacks + QStringList{QApplication::font().family()},
              11, QFont::SansSerif);
}

QFont LogFont() {
  QFont font = Face(
      {"Consolas", "DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Courier New", "monospace"},
      13, QFont::Monospace);
  font.setFixedPitch(true);
  return font;
}

QFont PictureFont(int pixelHeight) {
  QFont font =
      Face({"Arial", "Liberation Sans", "Helvetica", "DejaVu Sans"}, pixelHeight, QFont::SansSerif);
  font.setBold(true);
  return font;
}

}  // namespace kv218

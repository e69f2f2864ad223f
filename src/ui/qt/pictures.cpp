#include "ui/qt/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "ui/qt/fonts.h"

namespace kv218 {

namespace {

constexpr int kPicture = 80;

QImage Blank(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// Words centred in a band of the picture, with a faint light edge so that they stay
// readable on a pressed or disabled button face.
void PaintWords(QPainter& p, const QRectF& band, const QString& words, int pixelHeight,
                const QColor& ink) {
  p.setFont(PictureFont(pixelHeight));
  p.setPen(QColor(255, 255, 255, 170));
  p.drawText(band.translated(1, 1), Qt::AlignCenter, words);
  p.setPen(ink);
  p.drawText(band, Qt::AlignCenter, words);
}

void PaintDownArrow(QPainter& p, const QRectF& box) {
  const qreal cx = box.center().x();
  const qreal shaftHalf = box.width() * 0.17;
  const qreal headHalf = box.width() * 0.5;
  const qreal headTop = box.top() + box.height() * 0.45;
  QPolygonF arrow;
  arrow << QPointF(cx - shaftHalf, box.top()) << QPointF(cx + shaftHalf, box.top())
        << QPointF(cx + shaftHalf, headTop) << QPointF(cx + headHalf, headTop)
        << QPointF(cx, box.bottom()) << QPointF(cx - headHalf, headTop)
        << QPointF(cx - shaftHalf, headTop);
  QLinearGradient fill(box.left(), 0, box.right(), 0);
  fill.setColorAt(0.0, QColor(0x2E, 0xB8, 0x3A));
  fill.setColorAt(0.45, QColor(0x7C, 0xE0, 0x6A));
  fill.setColorAt(1.0, QColor(0x1C, 0x8A, 0x2A));
  p.setBrush(fill);
  p.setPen(QPen(QColor(0x0C, 0x5A, 0x16), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolygon(arrow);
}

QImage TransferPicture(const QString& destination) {
  QImage image = Blank(kPicture);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  PaintWords(p, QRectF(0, 0, kPicture, 22), "PC", 18, QColor(0x10, 0x10, 0x10));
  PaintDownArrow(p, QRectF(22, 22, 36, 34));
  PaintWords(p, QRectF(0, 57, kPicture, 22), destination, 15, QColor(0x00, 0x00, 0x80));
  return image;
}

}  // namespace

QImage LoadFilePicture() {
  QImage image = Blank(kPicture);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QPen outline(QColor(0x8A, 0x62, 0x00), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

  // The back of the folder with its tab.
  QPainterPath back;
  back.moveTo(10, 52);
  back.lineTo(10, 12);
  back.lineTo(28, 12);
  back.lineTo(32, 17);
  back.lineTo(62, 17);
  back.lineTo(62, 52);
  back.closeSubpath();
  p.setPen(outline);
  p.setBrush(QColor(0xE0, 0xA8, 0x10));
  p.drawPath(back);

  // The sheet standing in the folder, its corner folded, lines of text on it.
  QPainterPath sheet;
  sheet.moveTo(22, 46);
  sheet.lineTo(22, 4);
  sheet.lineTo(46, 4);
  sheet.lineTo(54, 12);
  sheet.lineTo(54, 46);
  sheet.closeSubpath();
  p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
  p.setBrush(Qt::white);
  p.drawPath(sheet);
  p.setBrush(QColor(0xD8, 0xD8, 0xD8));
  p.drawPolygon(QPolygonF({QPointF(46, 4), QPointF(46, 12), QPointF(54, 12)}));
  p.setPen(QPen(QColor(0x40, 0x60, 0xC0), 1.2));
  for (int y = 16; y <= 32; y += 4) p.drawLine(QPointF(26, y), QPointF(y == 16 ? 42 : 50, y));

  // The front flap, tipped open towards the viewer.
  QPolygonF front({QPointF(8, 52), QPointF(18, 26), QPointF(72, 26), QPointF(62, 52)});
  QLinearGradient flap(0, 26, 0, 52);
  flap.setColorAt(0.0, QColor(0xFF, 0xE4, 0x6A));
  flap.setColorAt(1.0, QColor(0xF2, 0xBC, 0x1C));
  p.setPen(outline);
  p.setBrush(flap);
  p.drawPolygon(front);

  PaintWords(p, QRectF(0, 55, kPicture, 24), "Load File", 14, QColor(0x00, 0x00, 0x80));
  return image;
}

QImage PcToTargetPicture() { return TransferPicture("Target"); }

QImage PcToKv218Picture() { return TransferPicture("KV-218"); }

QList<QColor> SixteenColours() {
  return {QColor(0x00, 0x00, 0x00), QColor(0x80, 0x00, 0x00), QColor(0x00, 0x80, 0x00),
          QColor(0x80, 0x80, 0x00), QColor(0x00, 0x00, 0x80), QColor(0x80, 0x00, 0x80),
          QColor(0x00, 0x80, 0x80), QColor(0xC0, 0xC0, 0xC0), QColor(0x80, 0x80, 0x80),
          QColor(0xFF, 0x00, 0x00), QColor(0x00, 0xFF, 0x00), QColor(0xFF, 0xFF, 0x00),
          QColor(0x00, 0x00, 0xFF), QColor(0xFF, 0x00, 0xFF), QColor(0x00, 0xFF, 0xFF),
          QColor(0xFF, 0xFF, 0xFF)};
}

QImage SerialPlugIcon() {
  // Pixel art seen from the side: the cable, the hood, the flange with its screws, the
  // D-shaped shell. No antialiasing, so every pixel is transparent or one of the 16 colours.
  static constexpr const char* kRows[16] = {
      "................",  //
      "................",  //
      ".........KK.....",  //
      ".........KWK....",  //
      "....KKKKKKSK....",  //
      "....KWWWWKSKKK..",  //
      "....KSSSSKSKSSKK",  //
      "KKKKKSSSSKSKSSSK",  //
      "NNNNKGGGGKSKSSSK",  //
      "KKKKKGGGGKSKSSKK",  //
      "....KGGGGKSKKK..",  //
      "....KKKKKKSK....",  //
      ".........KGK....",  //
      ".........KK.....",  //
      "................",  //
      "................",  //
  };
  const QList<QColor> c = SixteenColours();
  auto colour = [&c](char key) {
    switch (key) {
      case 'K':
        return c[0];  // black
      case 'N':
        return c[8];  // gray: the cable's sheen
      case 'G':
        return c[8];  // gray
      case 'S':
        return c[7];  // silver
      case 'W':
        return c[15];  // white
      default:
        return QColor(Qt::transparent);
    }
  };
  QImage image = Blank(16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) image.setPixelColor(x, y, colour(kRows[y][x]));
  }
  return image;
}

}  // namespace kv218

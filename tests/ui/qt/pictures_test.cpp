// The pictures painted in code: sizes, subjects, the 16-colour plug icon.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QSet>
#include <cstdlib>

#include "qt_environment.h"
#include "ui/qt/pictures.h"

namespace kv218::test {
namespace {

// Counts the pixels of a picture that are close to a colour.
int PixelsNear(const QImage& picture, const QColor& colour, int tolerance) {
  int count = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QColor pixel = picture.pixelColor(x, y);
      if (pixel.alpha() == 255 && std::abs(pixel.red() - colour.red()) <= tolerance &&
          std::abs(pixel.green() - colour.green()) <= tolerance &&
          std::abs(pixel.blue() - colour.blue()) <= tolerance) {
        ++count;
      }
    }
  }
  return count;
}

TEST(Pictures, ButtonPicturesShowTheirSubjects) {
  App();
  const struct {
    const char* name;
    QImage picture;
    QColor subject;  // the folder's yellow, the arrow's green
  } pictures[] = {
      {"load", LoadFilePicture(), QColor(0xF8, 0xCC, 0x40)},
      {"target", PcToTargetPicture(), QColor(0x50, 0xC8, 0x50)},
      {"kv218", PcToKv218Picture(), QColor(0x50, 0xC8, 0x50)},
  };
  QSet<QByteArray> distinct;
  for (const auto& p : pictures) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(p.picture.size(), QSize(80, 80));
    EXPECT_GT(PixelsNear(p.picture, p.subject, 60), 200);
    EXPECT_GT(PixelsNear(p.picture, QColor(0, 0, 0x80), 40), 20);  // the painted words
    EXPECT_EQ(p.picture.pixelColor(0, 79).alpha(), 0);             // a transparent ground
    distinct.insert(
        QByteArray(reinterpret_cast<const char*>(p.picture.constBits()), p.picture.sizeInBytes()));
  }
  EXPECT_EQ(distinct.size(), 3);
}

TEST(Pictures, PlugIconUsesOnlySixteenColours) {
  App();
  const QImage icon = SerialPlugIcon();
  ASSERT_EQ(icon.size(), QSize(16, 16));
  const QList<QColor> palette = SixteenColours();
  int drawn = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const QColor pixel = icon.pixelColor(x, y);
      if (pixel.alpha() == 0) continue;
      ++drawn;
      EXPECT_EQ(pixel.alpha(), 255);
      EXPECT_TRUE(palette.contains(QColor(pixel.rgb()))) << x << "," << y;
    }
  }
  EXPECT_GT(drawn, 60);
}

}  // namespace
}  // namespace kv218::test

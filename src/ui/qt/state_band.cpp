#include "ui/qt/state_band.h"

#include <QPainter>

#include "ui/common/state_look.h"
#include "ui/qt/fonts.h"

namespace kv218 {

namespace {
// The word as large as the band's upper part takes "NOT READY" at its width.
constexpr int kWordPixels = 15;
constexpr int kDetailPixels = 10;
}  // namespace

StateBand::StateBand(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  Show({});
}

void StateBand::Show(const StateShown& shown) {
  state_ = shown.state;
  word_ = QString::fromUtf8(look::WordOf(shown.state));
  detail_ = QString::fromStdString(look::DetailOf(shown));
  setToolTip(word_ + ": " + detail_);
  setAccessibleName(word_);
  update();
}

QColor StateBand::Ground() const {
  const look::Rgb ground = look::BandOf(state_).ground;
  return {ground.red, ground.green, ground.blue};
}

void StateBand::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Ground());
  p.setPen(look::BandOf(state_).whiteText ? Qt::white : Qt::black);
  const QRect inside = rect().adjusted(2, 1, -2, -1);
  p.setFont(PictureFont(kWordPixels));
  p.drawText(inside, Qt::AlignHCenter | Qt::AlignTop, word_);
  QFont detail = FormFont();
  detail.setPixelSize(kDetailPixels);
  p.setFont(detail);
  p.drawText(inside, Qt::AlignHCenter | Qt::AlignBottom,
             p.fontMetrics().elidedText(detail_, Qt::ElideRight, inside.width()));
}

}  // namespace kv218

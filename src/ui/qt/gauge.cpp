#include "ui/qt/gauge.h"

#include <QPainter>

#include "ground/window_ops.h"
#include "ui/qt/fonts.h"

namespace kv218 {

Gauge::Gauge(QWidget* parent) : QWidget(parent) {
  setFont(FormFont());
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void Gauge::SetProgress(int percent) {
  const int shown = ClampPercent(percent);
  if (shown == progress_) return;
  progress_ = shown;
  update();
}

void Gauge::ShowLook(Look look) {
  if (look == look_) return;
  look_ = look;
  update();
}

QColor Gauge::BarColour() const {
  switch (look_) {
    case Look::Passed:
      return {0x00, 0xA0, 0x00};
    case Look::Failed:
      return {0xFF, 0x00, 0x00};
    case Look::Neutral:
      break;
  }
  return {0x00, 0x00, 0xFF};
}

QString Gauge::Text() const { return QString::number(progress_) + '%'; }

void Gauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect();
  const QRect inside = frame.adjusted(1, 1, -1, -1);
  const int filled = inside.width() * progress_ / 100;
  const QRect bar(inside.left(), inside.top(), filled, inside.height());
  const QRect rest(inside.left() + filled, inside.top(), inside.width() - filled, inside.height());

  p.fillRect(rest, Qt::white);
  p.fillRect(bar, BarColour());
  p.setPen(Qt::black);
  p.drawRect(frame.adjusted(0, 0, -1, -1));

  // The text reads black over the white part and white over the bar.
  const QString text = Text();
  p.setClipRect(rest);
  p.setPen(Qt::black);
  p.drawText(inside, Qt::AlignCenter, text);
  p.setClipRect(bar);
  p.setPen(Qt::white);
  p.drawText(inside, Qt::AlignCenter, text);
}

}  // namespace kv218

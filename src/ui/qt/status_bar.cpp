#include "ui/qt/status_bar.h"

#include <QPainter>
#include <QSizeGrip>

#include "ui/qt/fonts.h"

namespace kv218 {

namespace {
constexpr int kGap = 2;        // between the frames of two panels
constexpr int kTopMargin = 2;  // above the frames
constexpr int kTextIndent = 2;
}  // namespace

StatusBar::StatusBar(QWidget* parent) : QWidget(parent), grip_(new QSizeGrip(this)) {
  setFont(StatusBarFont());
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  grip_->resize(grip_->sizeHint());
}

void StatusBar::AddPanel(int width, const QString& text, bool ownerDrawn) {
  panels_.append({width, text, ownerDrawn});
  PlaceOwnerDrawn();
  update();
}

int StatusBar::PanelWidth(int panel) const {
  return panel >= 0 && panel < PanelCount() ? panels_[panel].width : 0;
}

QString StatusBar::PanelText(int panel) const {
  return panel >= 0 && panel < PanelCount() ? panels_[panel].text : QString();
}

void StatusBar::SetPanelText(int panel, const QString& text) {
  if (panel < 0 || panel >= PanelCount() || panels_[panel].text == text) return;
  panels_[panel].text = text;
  update(PanelRect(panel));
}

int StatusBar::PanelLeft(int panel) const {
  int left = 0;
  for (int i = 0; i < panel; ++i) left += panels_[i].width;
  return left;
}

QRect StatusBar::PanelRect(int panel) const {
  if (panel < 0 || panel >= PanelCount()) return {};
  const int left = PanelLeft(panel);
  const bool last = panel == PanelCount() - 1;
  const int frameRight = last ? width() : left + panels_[panel].width - kGap;  // exclusive
  // Inside a 1-pixel sunken frame.
  return QRect(QPoint(left + 1, kTopMargin + 1), QPoint(frameRight - 2, height() - 2));
}

void StatusBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor light = palette().color(QPalette::Light);
  for (int i = 0; i < PanelCount(); ++i) {
    const QRect frame = PanelRect(i).adjusted(-1, -1, 1, 1);
    p.setPen(shadow);
    p.drawLine(frame.topLeft(), frame.topRight());
    p.drawLine(frame.topLeft(), frame.bottomLeft());
    p.setPen(light);
    p.drawLine(frame.bottomLeft(), frame.bottomRight());
    p.drawLine(frame.topRight(), frame.bottomRight());
    if (panels_[i].ownerDrawn) continue;
    const QRect textBox = PanelRect(i).adjusted(kTextIndent, 0, -kTextIndent, 0);
    // A text too long for its panel (a device path as the port name) keeps its end, which
    // names the port.
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(panels_[i].text, Qt::ElideLeft, textBox.width()));
  }
}

void StatusBar::resizeEvent(QResizeEvent*) {
  grip_->move(width() - grip_->width(), height() - grip_->height());
  PlaceOwnerDrawn();
}

void StatusBar::showEvent(QShowEvent*) { PlaceOwnerDrawn(); }

void StatusBar::PlaceOwnerDrawn() {
  for (int i = 0; i < PanelCount(); ++i) {
    if (panels_[i].ownerDrawn) emit DrawPanel(i, PanelRect(i));
  }
}

}  // namespace kv218

#pragma once
// CGauge1: a horizontal percentage gauge, blue on white, the percentage centred on the bar;
// green while a pass is shown, red while a failure is.

#include <QWidget>

namespace kv218 {

class Gauge : public QWidget {
  Q_OBJECT
 public:
  explicit Gauge(QWidget* parent = nullptr);

  // Shown clamped to 0..100.
  void SetProgress(int percent);
  int Progress() const { return progress_; }
  QString Text() const;  // "NN%" as drawn
  enum class Look { Neutral, Passed, Failed };
  void ShowLook(Look look);
  QColor BarColour() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int progress_ = 0;
  Look look_ = Look::Neutral;
};

}  // namespace kv218

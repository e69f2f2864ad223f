#pragma once
// CGauge1: a horizontal percentage gauge, blue on white, the percentage centred on the bar;
// red after a failed run.

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
  // Red while a failure is shown, blue otherwise.
  void ShowFailure(bool failed);
  QColor BarColour() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int progress_ = 0;
  bool failed_ = false;
};

}  // namespace kv218

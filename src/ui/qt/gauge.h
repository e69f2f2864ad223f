#pragma once
// CGauge1: a horizontal percentage gauge, blue on white, the percentage centred on the bar.

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

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int progress_ = 0;
};

}  // namespace kv218

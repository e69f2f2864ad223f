#pragma once
// The board state's band (ui/common/state_look.h): the state's word in large letters on the
// state's colour, a line of detail under it (why it is not ready, or the session's boards).

#include <QColor>
#include <QString>
#include <QWidget>

#include "ground/window_ops.h"

namespace kv218 {

class StateBand : public QWidget {
  Q_OBJECT
 public:
  explicit StateBand(QWidget* parent = nullptr);

  void Show(const StateShown& shown);
  BoardState State() const { return state_; }
  QString Word() const { return word_; }
  QString Detail() const { return detail_; }
  QColor Ground() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BoardState state_ = BoardState::NotReady;
  QString word_;
  QString detail_;
};

}  // namespace kv218

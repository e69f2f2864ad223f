#include "ui/qt/selector_box.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace kv218 {

SelectorBox::SelectorBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);  // typed text never becomes an item
  setCompleter(nullptr);                 // nor is it completed into one
  connect(this, &QComboBox::activated, this, [this](int index) {
    edited_ = false;
    emit Changed(index);
  });
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString&) {
    edited_ = true;
    emit Changed(-1);
  });
}

void SelectorBox::SetItemIndex(int index) {
  const QSignalBlocker quiet(this);
  edited_ = false;
  setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

}  // namespace kv218

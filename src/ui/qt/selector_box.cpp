#include "ui/qt/selector_box.h"

#include <QAbstractItemView>
#include <QKeyEvent>
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
  lineEdit()->installEventFilter(this);
}

bool SelectorBox::eventFilter(QObject* watched, QEvent* event) {
  // The combo box would take Enter as a pick: of the item whose text was typed, or again of
  // the item selected before the typing. The text picks nothing, so Enter is dropped here.
  if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
  }
  return QComboBox::eventFilter(watched, event);
}

void SelectorBox::SetItemIndex(int index) {
  const QSignalBlocker quiet(this);
  edited_ = false;
  setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

}  // namespace kv218

namespace kv218 {

void SelectorBox::ReplaceItemsFrom(int first, const std::vector<Item>& items) {
  const QSignalBlocker quiet(this);
  const QString typed = lineEdit()->text();
  const int selected = ItemIndex();
  const QVariant selectedData = selected >= first ? itemData(selected) : QVariant();
  while (count() > first) removeItem(count() - 1);
  int reselect = selected < first ? selected : -1;
  for (const Item& item : items) {
    addItem(item.text, item.data);
    setItemData(count() - 1, item.toolTip, Qt::ToolTipRole);
    if (selectedData.isValid() && item.data == selectedData) reselect = count() - 1;
  }
  if (edited_) {
    setCurrentIndex(-1);
    lineEdit()->setText(typed);
  } else {
    setCurrentIndex(reselect);
  }
  // Long entries (device paths) are shown whole in the list, however narrow the box.
  view()->setMinimumWidth(view()->sizeHintForColumn(0) + 8);
}

void SelectorBox::showPopup() {
  emit PopupAboutToShow();
  QComboBox::showPopup();
}

}  // namespace kv218

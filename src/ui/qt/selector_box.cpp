#include "ui/qt/selector_box.h"

#include <QAbstractItemView>
#include <QSignalBlocker>

namespace kv218 {

SelectorBox::SelectorBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  connect(this, &QComboBox::activated, this, [this](int index) { emit Changed(index); });
  connect(this, &QComboBox::currentIndexChanged, this, [this](int) { ShowWholeText(); });
}

void SelectorBox::SetItemIndex(int index) {
  const QSignalBlocker quiet(this);
  setCurrentIndex(index >= 0 && index < count() ? index : -1);
  ShowWholeText();
}

void SelectorBox::ReplaceItemsFrom(int first, const std::vector<Item>& items) {
  const QSignalBlocker quiet(this);
  while (count() > first) removeItem(count() - 1);
  for (const Item& item : items) {
    addItem(item.text, item.data);
    setItemData(count() - 1, item.toolTip, Qt::ToolTipRole);
  }
  // Long entries (device paths) are shown whole in the list, however narrow the box.
  view()->setMinimumWidth(view()->sizeHintForColumn(0) + 8);
  ShowWholeText();
}

void SelectorBox::ShowWholeText() { setToolTip(currentText()); }

void SelectorBox::showPopup() {
  emit PopupAboutToShow();
  QComboBox::showPopup();
}

}  // namespace kv218

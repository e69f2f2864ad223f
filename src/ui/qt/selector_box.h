#pragma once
// A drop-down list with an edit field (ComboBox1, ComboBox2). Its item index is that of the
// item last picked from the list; once the operator edits the text it is -1, because the text
// itself picks nothing. Changed reports both kinds of change, also the pick of the item that is
// already selected; selecting in code reports nothing. Enter in the edit field picks nothing
// either, also when the typed text equals an item's.

#include <QComboBox>
#include <QString>
#include <QVariant>
#include <vector>

namespace kv218 {

class SelectorBox : public QComboBox {
  Q_OBJECT
 public:
  explicit SelectorBox(QWidget* parent = nullptr);

  int ItemIndex() const { return edited_ ? -1 : currentIndex(); }
  // Selects the item; an index outside the items leaves no item selected and the text empty.
  void SetItemIndex(int index);

  struct Item {
    QString text;
    QVariant data;  // tells the item apart when the list is replaced
    QString toolTip;
  };
  // Replaces the items from index first on, reporting nothing. A selected item among them stays
  // selected when an item with its data is still there; otherwise no item is selected. Typed
  // text stays as it is.
  void ReplaceItemsFrom(int first, const std::vector<Item>& items);

  void showPopup() override;

 signals:
  void Changed(int itemIndex);
  // The list is about to drop down: the moment to bring its items up to date.
  void PopupAboutToShow();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool edited_ = false;
};

}  // namespace kv218

#pragma once
// A drop-down list (ComboBox1, ComboBox2) that cannot be typed into: its item index is that of
// the item last picked from the list or selected in code. Changed reports each pick, also the
// pick of the item that is already selected; selecting in code reports nothing. The box's
// tooltip is the selected item's whole text, which a narrow box may cut short.

#include <QComboBox>
#include <QString>
#include <QVariant>
#include <vector>

namespace kv218 {

class SelectorBox : public QComboBox {
  Q_OBJECT
 public:
  explicit SelectorBox(QWidget* parent = nullptr);

  int ItemIndex() const { return currentIndex(); }
  // Selects the item; an index outside the items leaves no item selected and the text empty.
  void SetItemIndex(int index);

  struct Item {
    QString text;
    QVariant data;  // what the item opens
    QString toolTip;
  };
  // Replaces the items from index first on, reporting nothing and selecting nothing; the
  // caller selects afterwards.
  void ReplaceItemsFrom(int first, const std::vector<Item>& items);

  void showPopup() override;

 signals:
  void Changed(int itemIndex);
  // The list is about to drop down: the moment to bring its items up to date.
  void PopupAboutToShow();

 private:
  void ShowWholeText();
};

}  // namespace kv218

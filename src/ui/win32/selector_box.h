#pragma once
// A drop-down list with an edit field (ComboBox1, ComboBox2). Its item index is that of the
// item last picked from the list; once the operator edits the text it is -1, because the text
// itself picks nothing. Selecting in code reports nothing.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kv218 {

class SelectorBox {
 public:
  SelectorBox(HWND parent, int id, int left, int top, int width, int dropDownHeight,
              const std::vector<std::wstring>& items);

  HWND Handle() const { return combo_; }
  int ItemIndex() const;
  // Selects the item; an index outside the items leaves no item selected and the text empty.
  void SetItemIndex(int index);
  // The parent's WM_COMMAND notification for this box; returns the new item index when the
  // operator changed the selection or the text.
  std::optional<int> OnNotify(WORD code);

  struct Item {
    std::wstring text;
    std::string data;  // tells the item apart when the list is replaced
  };
  // Replaces the items from index first on, reporting nothing. A selected item among them stays
  // selected when an item with its data is still there; otherwise no item is selected. Typed
  // text stays as it is.
  void ReplaceItemsFrom(int first, const std::vector<Item>& items);
  // The data of an item ReplaceItemsFrom added; empty for the others and outside the items.
  std::string ItemData(int index) const;

 private:
  int Count() const;
  std::wstring Text() const;
  // The dropped list as wide as its longest entry, and never narrower than the box.
  void FitDroppedWidth();

  HWND combo_;
  bool edited_ = false;
  std::vector<std::string> data_;  // per item; empty for items given at creation
};

}  // namespace kv218

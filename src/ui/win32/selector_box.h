#pragma once
// A drop-down list (ComboBox1, ComboBox2) that cannot be typed into: its item index is that of
// the item last picked from the list or selected in code. Selecting in code reports nothing.
// A tooltip shows the selected item's whole text, which a narrow box may cut short.

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
  // operator picked an item.
  std::optional<int> OnNotify(WORD code);
  // The selected item's text (empty with none selected), as the tooltip shows it.
  std::wstring SelectedText() const;

  struct Item {
    std::wstring text;
    std::string data;  // what the item opens
  };
  // Replaces the items from index first on, reporting nothing and selecting nothing; the caller
  // selects afterwards.
  void ReplaceItemsFrom(int first, const std::vector<Item>& items);
  // The data of an item ReplaceItemsFrom added; empty for the others and outside the items.
  std::string ItemData(int index) const;
  // The item ReplaceItemsFrom added with that data; -1 when there is none.
  int FindData(const std::string& data) const;
  // The list as wide as its longest entry, and never narrower than the box (again after a
  // change of font).
  void FitDroppedWidth();
  // The screen's dots per inch changed (or are first known): the place and the font scaled.
  void SetPlaceAndFont(int left, int top, int width, int dropDownHeight, HFONT font);

 private:
  int Count() const;
  void ShowWholeText();

  HWND combo_;
  HWND tip_;
  std::wstring tipText_;
  std::vector<std::string> data_;  // per item; empty for items given at creation
};

}  // namespace kv218

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

 private:
  HWND combo_;
  bool edited_ = false;
};

}  // namespace kv218

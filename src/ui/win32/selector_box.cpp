#include "ui/win32/selector_box.h"

namespace kv218 {

SelectorBox::SelectorBox(HWND parent, int id, int left, int top, int width, int dropDownHeight,
                         const std::vector<std::wstring>& items)
    : combo_(CreateWindowExW(
          0, L"COMBOBOX", L"",
          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, left,
          top, width, dropDownHeight, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
          GetModuleHandleW(nullptr), nullptr)) {
  for (const std::wstring& item : items) {
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
}

int SelectorBox::ItemIndex() const {
  return edited_ ? -1 : static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
}

void SelectorBox::SetItemIndex(int index) {
  const LRESULT count = SendMessageW(combo_, CB_GETCOUNT, 0, 0);
  edited_ = false;
  if (index < 0 || index >= count) {
    SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(combo_, L"");
    return;
  }
  SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::optional<int> SelectorBox::OnNotify(WORD code) {
  switch (code) {
    case CBN_SELCHANGE:
      edited_ = false;
      return ItemIndex();
    case CBN_EDITCHANGE:
      edited_ = true;
      return -1;
    default:
      return std::nullopt;
  }
}

}  // namespace kv218

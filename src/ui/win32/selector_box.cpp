#include "ui/win32/selector_box.h"

#include <algorithm>

namespace kv218 {

SelectorBox::SelectorBox(HWND parent, int id, int left, int top, int width, int dropDownHeight,
                         const std::vector<std::wstring>& items)
    : combo_(CreateWindowExW(
          0, L"COMBOBOX", L"",
          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, left,
          top, width, dropDownHeight, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
          GetModuleHandleW(nullptr), nullptr)),
      data_(items.size()) {
  for (const std::wstring& item : items) {
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
}

int SelectorBox::Count() const { return static_cast<int>(SendMessageW(combo_, CB_GETCOUNT, 0, 0)); }

std::wstring SelectorBox::Text() const {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(combo_)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(combo_, text.data(), static_cast<int>(text.size()))));
  return text;
}

int SelectorBox::ItemIndex() const {
  return edited_ ? -1 : static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
}

void SelectorBox::SetItemIndex(int index) {
  edited_ = false;
  if (index < 0 || index >= Count()) {
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

void SelectorBox::ReplaceItemsFrom(int first, const std::vector<Item>& items) {
  const std::wstring typed = Text();
  const int selected = ItemIndex();
  const std::string selectedData = selected >= first ? ItemData(selected) : std::string();
  for (int last = Count() - 1; last >= first; --last) {
    SendMessageW(combo_, CB_DELETESTRING, static_cast<WPARAM>(last), 0);
  }
  data_.resize(static_cast<std::size_t>(std::max(first, 0)));
  int reselect = selected < first ? selected : -1;
  for (const Item& item : items) {
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
    data_.push_back(item.data);
    if (!selectedData.empty() && item.data == selectedData) reselect = Count() - 1;
  }
  if (edited_) {
    SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(combo_, typed.c_str());
  } else {
    SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(reselect), 0);
  }
  FitDroppedWidth();
}

std::string SelectorBox::ItemData(int index) const {
  return index >= 0 && index < static_cast<int>(data_.size())
             ? data_[static_cast<std::size_t>(index)]
             : std::string();
}

void SelectorBox::FitDroppedWidth() {
  HDC dc = GetDC(combo_);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(combo_, WM_GETFONT, 0, 0));
  const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  RECT box;
  GetWindowRect(combo_, &box);
  LONG widest = box.right - box.left;
  std::wstring text;
  for (int index = 0, count = Count(); index < count; ++index) {
    const LRESULT length = SendMessageW(combo_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) continue;
    text.assign(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo_, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(length), &extent);
    // Room for the list's scroll bar and its margins.
    widest = std::max(widest, extent.cx + GetSystemMetrics(SM_CXVSCROLL) + 8);
  }
  if (old) SelectObject(dc, old);
  ReleaseDC(combo_, dc);
  SendMessageW(combo_, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest), 0);
}

}  // namespace kv218

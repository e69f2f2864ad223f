#include "ui/win32/selector_box.h"

#include <commctrl.h>

#include <algorithm>

namespace kv218 {

SelectorBox::SelectorBox(HWND parent, int id, int left, int top, int width, int dropDownHeight,
                         const std::vector<std::wstring>& items)
    : combo_(CreateWindowExW(
          0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
          left, top, width, dropDownHeight, parent,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr)),
      tip_(CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent,
                           nullptr, GetModuleHandleW(nullptr), nullptr)),
      data_(items.size()) {
  for (const std::wstring& item : items) {
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = parent;
  tool.uId = reinterpret_cast<UINT_PTR>(combo_);
  tool.lpszText = tipText_.data();
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

int SelectorBox::Count() const { return static_cast<int>(SendMessageW(combo_, CB_GETCOUNT, 0, 0)); }

int SelectorBox::ItemIndex() const {
  return static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
}

void SelectorBox::SetItemIndex(int index) {
  const bool inside = index >= 0 && index < Count();
  SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(inside ? index : -1), 0);
  ShowWholeText();
}

std::optional<int> SelectorBox::OnNotify(WORD code) {
  if (code != CBN_SELCHANGE) return std::nullopt;
  ShowWholeText();
  return ItemIndex();
}

std::wstring SelectorBox::SelectedText() const {
  const int index = ItemIndex();
  if (index < 0) return {};
  const LRESULT length = SendMessageW(combo_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(combo_, CB_GETLBTEXT, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void SelectorBox::ShowWholeText() {
  tipText_ = SelectedText();
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(combo_);
  tool.uId = reinterpret_cast<UINT_PTR>(combo_);
  tool.lpszText = tipText_.data();
  SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void SelectorBox::ReplaceItemsFrom(int first, const std::vector<Item>& items) {
  for (int last = Count() - 1; last >= first; --last) {
    SendMessageW(combo_, CB_DELETESTRING, static_cast<WPARAM>(last), 0);
  }
  data_.resize(static_cast<std::size_t>(std::max(first, 0)));
  for (const Item& item : items) {
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
    data_.push_back(item.data);
  }
  FitDroppedWidth();
  ShowWholeText();
}

std::string SelectorBox::ItemData(int index) const {
  return index >= 0 && index < static_cast<int>(data_.size())
             ? data_[static_cast<std::size_t>(index)]
             : std::string();
}

int SelectorBox::FindData(const std::string& data) const {
  if (data.empty()) return -1;
  const auto found = std::find(data_.begin(), data_.end(), data);
  return found == data_.end() ? -1 : static_cast<int>(found - data_.begin());
}

void SelectorBox::SetPlaceAndFont(int left, int top, int width, int dropDownHeight, HFONT font) {
  SendMessageW(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // The selection field's height follows the font; the box's height is its dropped list's.
  SetWindowPos(combo_, nullptr, left, top, width, dropDownHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  FitDroppedWidth();
  InvalidateRect(combo_, nullptr, TRUE);
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

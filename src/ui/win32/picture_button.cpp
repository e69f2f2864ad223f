#include "ui/win32/picture_button.h"

#include <utility>

namespace kv218 {

PictureButton::PictureButton(HWND parent, int id, layout::Box place, Picture picture,
                             const wchar_t* name)
    // The window text names the button for accessibility; the picture is drawn on WM_DRAWITEM.
    : button_(CreateWindowExW(
          0, L"BUTTON", name, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_OWNERDRAW,
          place.left, place.top, place.width, place.height, parent,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr)),
      place_(place),
      picture_(picture) {
  SetDpi(layout::kDesignDpi);
}

void PictureButton::SetDpi(int dpi) {
  const layout::Box box = layout::Scaled(place_, dpi);
  SetWindowPos(button_, nullptr, box.left, box.top, box.width, box.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  pictureSize_ = layout::Scaled(kPictureSize, dpi);
  normal_ = PaintPicture(picture_, GetSysColor(COLOR_BTNFACE), false, pictureSize_);
  greyed_ = PaintPicture(picture_, GetSysColor(COLOR_BTNFACE), true, pictureSize_);
  InvalidateRect(button_, nullptr, TRUE);
}

void PictureButton::SetEnabled(bool enabled) {
  EnableWindow(button_, enabled ? TRUE : FALSE);
  InvalidateRect(button_, nullptr, TRUE);
}

HBITMAP PictureButton::ShownPicture() const {
  return IsWindowEnabled(button_) ? normal_.get() : greyed_.get();
}

bool PictureButton::OnDrawItem(const DRAWITEMSTRUCT& item) const {
  if (item.hwndItem != button_) return false;
  RECT face = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(item.hDC, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  // The picture in the middle, a pixel down and right while pushed.
  const int offset = pushed ? 1 : 0;
  const int left = (item.rcItem.left + item.rcItem.right - pictureSize_) / 2 + offset;
  const int top = (item.rcItem.top + item.rcItem.bottom - pictureSize_) / 2 + offset;
  HDC memory = CreateCompatibleDC(item.hDC);
  const HGDIOBJ old = SelectObject(memory, ShownPicture());
  BitBlt(item.hDC, left, top, pictureSize_, pictureSize_, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(item.hDC, &focus);
  }
  return true;
}

}  // namespace kv218

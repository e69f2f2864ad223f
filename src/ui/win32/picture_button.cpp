#include "ui/win32/picture_button.h"

namespace kv218 {

PictureButton::PictureButton(HWND parent, int id, layout::Box place, Picture picture,
                             const wchar_t* name)
    // The window text names the button for accessibility; BS_BITMAP shows the picture only.
    : button_(CreateWindowExW(
          0, L"BUTTON", name, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_BITMAP,
          place.left, place.top, place.width, place.height, parent,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr)),
      normal_(PaintPicture(picture, GetSysColor(COLOR_BTNFACE), false)),
      greyed_(PaintPicture(picture, GetSysColor(COLOR_BTNFACE), true)) {
  SendMessageW(button_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(normal_.get()));
}

void PictureButton::SetEnabled(bool enabled) {
  SendMessageW(button_, BM_SETIMAGE, IMAGE_BITMAP,
               reinterpret_cast<LPARAM>(enabled ? normal_.get() : greyed_.get()));
  EnableWindow(button_, enabled ? TRUE : FALSE);
}

}  // namespace kv218

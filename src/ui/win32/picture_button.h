#pragma once
// BitBtn1..3: a push button showing one of the pictures; disabled, it shows the greyed picture.

#include <windows.h>

#include "ui/win32/form_layout.h"
#include "ui/win32/pictures.h"

namespace kv218 {

class PictureButton {
 public:
  PictureButton(HWND parent, int id, layout::Box place, Picture picture, const wchar_t* name);

  HWND Handle() const { return button_; }
  void SetEnabled(bool enabled);

 private:
  HWND button_;
  Bitmap normal_;
  Bitmap greyed_;
};

}  // namespace kv218

#pragma once
// BitBtn1..3: a push button showing one of the pictures, drawn by the window itself (owner
// drawn) so that a disabled button shows the greyed picture rather than the blank square the
// system makes of a disabled bitmap. The pictures are drawn afresh at every scale.

#include <windows.h>

#include "ui/win32/form_layout.h"
#include "ui/win32/pictures.h"

namespace kv218 {

class PictureButton {
 public:
  PictureButton(HWND parent, int id, layout::Box place, Picture picture, const wchar_t* name);

  HWND Handle() const { return button_; }
  void SetEnabled(bool enabled);
  // The screen's dots per inch changed (or are first known): place and pictures scaled.
  void SetDpi(int dpi);
  // The parent's WM_DRAWITEM for this button: the face, the picture (greyed when disabled),
  // the focus. True when it was this button's.
  bool OnDrawItem(const DRAWITEMSTRUCT& item) const;
  // The picture drawn now: the greyed one while disabled.
  HBITMAP ShownPicture() const;

 private:
  HWND button_;
  layout::Box place_;
  Picture picture_;
  int pictureSize_ = kPictureSize;
  Bitmap normal_;
  Bitmap greyed_;
};

}  // namespace kv218

#pragma once
// Memo1: the multi-line, read-only log in a monospaced font. Lines are added at the end and
// the view follows them; a double click is reported.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/win32/fonts.h"

namespace kv218 {

class LogPane {
 public:
  // Creates the edit control as a child of parent at the given place.
  LogPane(HWND parent, int id, int left, int top, int width, int height);
  ~LogPane();
  LogPane(const LogPane&) = delete;
  LogPane& operator=(const LogPane&) = delete;

  HWND Handle() const { return edit_; }
  void AppendLog(std::string_view line);
  // Completes the last line in place; with nothing logged yet it becomes the first line.
  void AppendToLastLine(std::string_view text);
  // The lines as shown, in UTF-8.
  std::vector<std::string> Lines() const;
  void SetDoubleClickHandler(std::function<void()> onDoubleClick) {
    onDoubleClick_ = std::move(onDoubleClick);
  }

 private:
  static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  void AppendAtEnd(const std::wstring& text);

  HWND edit_;
  Font font_;
  bool empty_ = true;
  std::function<void()> onDoubleClick_;
};

}  // namespace kv218

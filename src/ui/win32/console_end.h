#pragma once
// The console the window was started from closing (or Ctrl-C, Ctrl-Break, the session's end
// told to a console process): the window ends as it does at the session's end, a run in
// progress stopped cleanly, before the system ends the process (it waits about 5 s for the
// handler to return).

#include <windows.h>

namespace kv218 {

class ConsoleEnd {
 public:
  // Posts TForm1::kEndSessionMessage to window on such an event, then waits until this is
  // destroyed (the window's loop has ended) or 4.5 s have passed.
  explicit ConsoleEnd(HWND window);
  ~ConsoleEnd();
  ConsoleEnd(const ConsoleEnd&) = delete;
  ConsoleEnd& operator=(const ConsoleEnd&) = delete;
};

}  // namespace kv218

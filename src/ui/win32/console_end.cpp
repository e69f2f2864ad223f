#include "ui/win32/console_end.h"

#include <mutex>

#include "ui/win32/form1.h"

namespace kv218 {

namespace {

// Windows runs the console control handler on a thread of its own and gives it nothing but
// the event, so the one window of the process is reached through this.
struct Registry {
  std::mutex mutex;
  HWND window = nullptr;
  HANDLE ended = nullptr;  // set once the window's loop is over
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_CLOSE_EVENT && event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT &&
      event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) {
    return FALSE;
  }
  HANDLE ended = nullptr;
  {
    Registry& registry = TheRegistry();
    const std::lock_guard lock(registry.mutex);
    if (registry.window == nullptr) return FALSE;
    PostMessageW(registry.window, TForm1::kEndSessionMessage, 0, 0);
    ended = registry.ended;
  }
  // Returning lets the system end the process: the run gets the time it needs to stop.
  WaitForSingleObject(ended, 4500);
  return TRUE;
}

}  // namespace

ConsoleEnd::ConsoleEnd(HWND window) {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  registry.window = window;
  if (registry.ended == nullptr) registry.ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(registry.ended);
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

ConsoleEnd::~ConsoleEnd() {
  Registry& registry = TheRegistry();
  const std::lock_guard lock(registry.mutex);
  registry.window = nullptr;
  SetEvent(registry.ended);  // a handler waiting may return now; the event is kept for it
}

}  // namespace kv218

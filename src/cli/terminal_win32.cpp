#include <io.h>
#include <windows.h>

#include "cli/terminal.h"

namespace kv218::cli {

bool IsTerminal(int fd) { return ::_isatty(fd) != 0; }

std::size_t TerminalColumns(int fd) {
  const DWORD which = fd == 0 ? STD_INPUT_HANDLE : fd == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(which), &info) != 0) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return static_cast<std::size_t>(columns);
  }
  return 80;
}

void KeepRunningWithoutAReader() {
  // A write to a closed pipe fails with an error on Windows; nothing ends the process.
}

}  // namespace kv218::cli

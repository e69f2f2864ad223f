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

namespace {
HANDLE HandleOf(int fd) {
  return GetStdHandle(fd == 0 ? STD_INPUT_HANDLE : fd == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}
}  // namespace

bool TerminalProcessesSequences(int fd) {
  DWORD mode = 0;
  return GetConsoleMode(HandleOf(fd), &mode) != 0 &&
         (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

ConsoleCalls& SystemConsole() {
  class ErrorConsole : public ConsoleCalls {
   public:
    bool GetMode(std::uint32_t& mode) override {
      DWORD value = 0;
      if (GetConsoleMode(HandleOf(2), &value) == 0) return false;
      mode = value;
      return true;
    }
    bool SetMode(std::uint32_t mode) override { return SetConsoleMode(HandleOf(2), mode) != 0; }
    // GetConsoleOutputCP gives 0 to a process without a console.
    std::uint32_t OutputCodePage() override { return GetConsoleOutputCP(); }
    bool SetOutputCodePage(std::uint32_t page) override { return SetConsoleOutputCP(page) != 0; }
  };
  static ErrorConsole console;
  return console;
}

void KeepRunningWithoutAReader() {
  // A write to a closed pipe fails with an error on Windows; nothing ends the process.
}

}  // namespace kv218::cli

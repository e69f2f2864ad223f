#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/terminal.h"

namespace kv218::cli {

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

std::size_t TerminalColumns(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

bool TerminalProcessesSequences(int) { return true; }

ConsoleCalls& SystemConsole() {
  // A terminal has no console mode or code page to set: it takes what it is given.
  class NoConsole : public ConsoleCalls {
   public:
    bool GetMode(std::uint32_t&) override { return false; }
    bool SetMode(std::uint32_t) override { return false; }
    std::uint32_t OutputCodePage() override { return 0; }
    bool SetOutputCodePage(std::uint32_t) override { return false; }
  };
  static NoConsole console;
  return console;
}

void KeepRunningWithoutAReader() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace kv218::cli

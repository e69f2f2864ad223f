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

void KeepRunningWithoutAReader() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace kv218::cli

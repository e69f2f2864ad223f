#include "cli/terminal.h"

#include <sys/ioctl.h>

namespace kv218::cli {

std::size_t TerminalColumns(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace kv218::cli

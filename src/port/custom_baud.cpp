// Arbitrary line rates through termios2. This file must not include <termios.h>: the
// kernel's <asm/termbits.h> defines the same names.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

namespace kv218 {

bool SetCustomBaud(int fd, std::uint32_t baud) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = baud;
  t.c_ospeed = baud;
  return ioctl(fd, TCSETS2, &t) == 0;
}

std::uint32_t CurrentCustomBaud(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed;
}

}  // namespace kv218

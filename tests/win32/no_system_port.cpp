// The programs built with this file open only the in-process simulated programmer, which
// their forms make through FormOptions::makePort; the platform's serial port is not part of
// them, and asking for it is a fault of the program.

#include <stdexcept>

#include "serial/system_port.h"

namespace kv218 {

std::unique_ptr<PortChannel> MakeSystemPort() {
  throw std::logic_error("this program opens the simulated programmer only");
}

}  // namespace kv218

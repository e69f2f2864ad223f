#pragma once
// The Linux enumeration below a root folder laid out like the system's ("/" on the machine; a
// fake tree in tests): the ttys of sys/class/tty that have a device behind them, without the
// serial-core placeholders for UARTs that are not fitted, named by dev/serial/by-id.

#include <filesystem>
#include <vector>

#include "port/port_list.h"

namespace kv218 {

std::vector<SerialDeviceInfo> ListSerialDevicesUnder(const std::filesystem::path& root);

}  // namespace kv218

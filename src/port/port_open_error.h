#pragma once
// Why a port did not open, in words the operator can act on: the port, the device it names on
// this platform when that differs, and the reason, with the group to join for a refused
// permission. The window logs it at start and at each port change; kv218 prints it.

#include <string>

#include "port/port_channel.h"

namespace kv218 {

// "Cannot open port <path> (<device>): <reason>". group is the device's owning group, named
// in the hint for a refused permission (empty when unknown).
std::string PortOpenErrorText(const std::string& path, const std::string& device,
                              const OpenFailure& failure, const std::string& group);

// The same for a port of this platform: its device and group looked up.
std::string SystemPortOpenErrorText(const std::string& path, const OpenFailure& failure);

}  // namespace kv218

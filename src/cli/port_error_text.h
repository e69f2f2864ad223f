#pragma once
// The command line's message for a port that did not open: the port, the device it names on
// this platform when that differs, and why, with what the operator can do about it.

#include <string>

#include "port/port_channel.h"

namespace kv218::cli {

// "Cannot open port <path> (<device>): <reason>". group is the device's owning group, named
// in the hint for a refused permission (empty when unknown).
std::string PortOpenErrorText(const std::string& path, const std::string& device,
                              const OpenFailure& failure, const std::string& group);

}  // namespace kv218::cli

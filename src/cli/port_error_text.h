#pragma once
// The command line's messages about its port: one that did not open (the port, the device it
// names on this platform when that differs, and why, with what the operator can do about it),
// and one that went away and came back.

#include <string>

#include "port/port_channel.h"

namespace kv218::cli {

// "Cannot open port <path> (<device>): <reason>". group is the device's owning group, named
// in the hint for a refused permission (empty when unknown).
std::string PortOpenErrorText(const std::string& path, const std::string& device,
                              const OpenFailure& failure, const std::string& group);

// "kv218: port <path> lost; waiting for it to come back" and "kv218: port <path> is back".
std::string PortLostText(const std::string& path);
std::string PortBackText(const std::string& path);

}  // namespace kv218::cli

#pragma once
// The command line's messages about its port: one that did not open (port/port_open_error.h
// words it), and one that went away and came back.

#include <string>

#include "port/port_open_error.h"

namespace kv218::cli {

// "kv218: port <path> lost; waiting for it to come back" and "kv218: port <path> is back".
std::string PortLostText(const std::string& path);
std::string PortBackText(const std::string& path);

}  // namespace kv218::cli

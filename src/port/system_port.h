#pragma once
// The serial port of the platform the program runs on, behind PortChannel: PosixPort on
// Linux (posix_port.cpp), Win32Port on Windows (win32_port.cpp). Only one of them is built.

#include <memory>
#include <string>

#include "port/port_channel.h"

namespace kv218 {

// A fresh, closed port of this platform.
std::unique_ptr<PortChannel> MakeSystemPort();

// The device a port name opens on this platform ("\\.\COM5" is /dev/ttyS4 on Linux).
std::string SystemDevicePath(const std::string& path);

// The name of the group that owns the device a port name opens, for the hint that goes with
// a refused permission; empty when the platform has no such thing or does not tell.
std::string SystemDeviceGroup(const std::string& path);

}  // namespace kv218

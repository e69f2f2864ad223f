#pragma once
// The serial devices on this machine, for the port selector and "kv218 ports": USB adapters and
// real UARTs on Linux (port_list_linux.cpp), the COM ports the system lists on Windows.

#include <string>
#include <vector>

namespace kv218 {

struct SerialDeviceInfo {
  std::string path;        // what a port opens: "/dev/ttyUSB0"
  std::string stableName;  // a name that survives re-plugging ("/dev/serial/by-id/..."), or empty
  std::string vendor;      // the maker as the device names itself, or empty
  std::string product;     // the product as the device names itself, or empty
  std::string usbId;       // "0403:6001" for a USB device, or empty
};

// The devices present now, in natural order of their paths (ttyS2 before ttyS10).
std::vector<SerialDeviceInfo> ListSerialDevices();

// Vendor, product and USB id as far as they are known ("FTDI FT232R USB UART (0403:6001)"); empty
// when nothing is.
std::string DescribeSerialDevice(const SerialDeviceInfo& device);

// Natural order of device paths: runs of digits compare by their value.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace kv218

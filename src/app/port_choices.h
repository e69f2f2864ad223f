#pragma once
// The port selector's items as both windows list them: "COM1".."COM20", then the serial
// devices present that are none of those, then the port in use when it is none of them either
// (a path from the settings file, a device unplugged), so that the selector always shows the
// port the window has opened, in full, and each port once.

#include <string>
#include <vector>

#include "port/port_list.h"

namespace kv218 {

// "COM1".."COM20", the selector's first items.
inline constexpr int kComPortItems = 20;

// An item after "COM20".
struct PortChoice {
  std::string path;     // what the item opens, also its text
  std::string details;  // the stable name and the device's description, for a tooltip
};

// "COM5" or "\\.\COM5" (any case), as far as the COM items go: 4; otherwise -1.
int ComItemOf(const std::string& path);

// The items after the COM items: devices present, less those that are a COM item's device,
// then portInUse when no item shows it yet.
std::vector<PortChoice> PortChoicesAfterComItems(const std::vector<SerialDeviceInfo>& devices,
                                                 const std::string& portInUse);

// The item that shows portInUse among the COM items and choices; -1 when none does (never
// for choices made for it).
int PortItemIndex(const std::vector<PortChoice>& choices, const std::string& portInUse);

}  // namespace kv218

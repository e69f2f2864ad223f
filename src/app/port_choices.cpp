#include "app/port_choices.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "port/system_port.h"

namespace kv218 {

namespace {

bool StartsWithLetters(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

std::string ComItemPath(int index) { return "\\\\.\\COM" + std::to_string(index + 1); }

// A device that one of the COM items opens already (Windows' "\\.\COM1", Linux's /dev/ttyS0).
bool IsComItemDevice(const std::string& path) {
  if (ComItemOf(path) >= 0) return true;
  const std::string device = SystemDevicePath(path);
  for (int index = 0; index < kComPortItems; ++index) {
    if (SystemDevicePath(ComItemPath(index)) == device) return true;
  }
  return false;
}

}  // namespace

int ComItemOf(const std::string& path) {
  std::string_view name = path;
  if (name.starts_with("\\\\.\\")) name.remove_prefix(4);
  if (!StartsWithLetters(name, "COM")) return -1;
  name.remove_prefix(3);
  if (name.empty() || name.size() > 2 || name.front() == '0') return -1;
  int number = 0;
  for (const char digit : name) {
    if (digit < '0' || digit > '9') return -1;
    number = number * 10 + (digit - '0');
  }
  return number <= kComPortItems ? number - 1 : -1;
}

std::vector<PortChoice> PortChoicesAfterComItems(const std::vector<SerialDeviceInfo>& devices,
                                                 const std::string& portInUse) {
  std::vector<PortChoice> choices;
  for (const SerialDeviceInfo& device : devices) {
    if (IsComItemDevice(device.path)) continue;
    std::string details = device.stableName.empty() ? device.path : device.stableName;
    const std::string description = DescribeSerialDevice(device);
    if (!description.empty()) details += "\n" + description;
    choices.push_back({device.path, std::move(details)});
  }
  if (!portInUse.empty() && PortItemIndex(choices, portInUse) < 0) {
    choices.push_back({portInUse, portInUse});
  }
  return choices;
}

int PortItemIndex(const std::vector<PortChoice>& choices, const std::string& portInUse) {
  if (const int com = ComItemOf(portInUse); com >= 0) return com;
  const auto found = std::find_if(choices.begin(), choices.end(), [&](const PortChoice& choice) {
    return choice.path == portInUse;
  });
  return found == choices.end() ? -1 : kComPortItems + static_cast<int>(found - choices.begin());
}

}  // namespace kv218

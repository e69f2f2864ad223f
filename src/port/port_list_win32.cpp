#include <windows.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "port/port_list.h"

namespace kv218 {

// The COM ports Windows has now: the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, each a port
// name ("COM5") that the drivers of present devices write there.
std::vector<SerialDeviceInfo> ListSerialDevices() {
  std::vector<SerialDeviceInfo> devices;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return devices;
  }
  std::array<char, 256> name{};
  std::array<BYTE, 256> data{};
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size() - 1);
    DWORD type = 0;
    const LONG result =
        RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ || dataSize == 0) continue;
    data[dataSize] = 0;
    const std::string port(reinterpret_cast<const char*>(data.data()));
    if (port.empty()) continue;
    devices.push_back(
        {.path = "\\\\.\\" + port, .stableName = {}, .vendor = {}, .product = {}, .usbId = {}});
  }
  RegCloseKey(key);
  std::sort(devices.begin(), devices.end(),
            [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
              return NaturalLess(a.path, b.path);
            });
  return devices;
}

}  // namespace kv218

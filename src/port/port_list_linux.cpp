#include "port/port_list_linux.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>

namespace kv218 {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, or empty when it is missing.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

// A symbolic link's target as a path below root (an absolute target counts from root).
fs::path LinkTargetUnder(const fs::path& root, const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  if (error) return {};
  if (target.is_absolute()) return (root / target.relative_path()).lexically_normal();
  return (link.parent_path() / target).lexically_normal();
}

// Device path -> stable name, from dev/serial/by-id.
std::map<fs::path, fs::path> StableNames(const fs::path& root) {
  std::map<fs::path, fs::path> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(root / "dev/serial/by-id", error)) {
    const fs::path device = LinkTargetUnder(root, entry.path());
    if (device.empty()) continue;
    // Listed by its name as the system sees it, whatever the root.
    const fs::path name = "/" / entry.path().lexically_relative(root);
    auto [place, added] = names.emplace(device, name);
    if (!added && name < place->second) place->second = name;  // one name, the same every time
  }
  return names;
}

bool IsBelow(const fs::path& folder, const fs::path& top) {
  const fs::path rest = folder.lexically_relative(top);
  return !rest.empty() && rest != "." && *rest.begin() != "..";
}

// Fills vendor, product and USB id from the USB device that the tty's device belongs to: the
// tty's device itself or one of the few folders above it (interface, then device).
void ReadUsbIdentity(const fs::path& root, const fs::path& device, SerialDeviceInfo& info) {
  const fs::path devices = root / "sys/devices";
  fs::path folder = device;
  for (int level = 0; level < 4 && IsBelow(folder, devices); ++level) {
    if (fs::exists(folder / "idVendor")) {
      info.vendor = ReadAttribute(folder / "manufacturer");
      info.product = ReadAttribute(folder / "product");
      info.usbId = ReadAttribute(folder / "idVendor") + ":" + ReadAttribute(folder / "idProduct");
      return;
    }
    folder = folder.parent_path();
  }
}

}  // namespace

std::vector<SerialDeviceInfo> ListSerialDevicesUnder(const fs::path& rootFolder) {
  std::vector<SerialDeviceInfo> found;
  std::error_code error;
  // Device links resolve to canonical paths; the root is compared with them.
  const fs::path root = fs::weakly_canonical(rootFolder, error);
  if (error) return found;
  const auto stableNames = StableNames(root);
  for (const auto& entry : fs::directory_iterator(root / "sys/class/tty", error)) {
    const fs::path tty = entry.path();
    // Virtual terminals, pseudo-terminals and the console have no device behind them.
    std::error_code noDevice;
    const fs::path device = fs::canonical(tty / "device", noDevice);
    if (noDevice) continue;
    // The serial core keeps a tty for every UART slot; type 0 says no UART is fitted there.
    if (fs::exists(tty / "type") && ReadAttribute(tty / "type") == "0") continue;

    std::string name = tty.filename().string();
    std::replace(name.begin(), name.end(), '!', '/');  // sysfs spelling of a subfolder
    SerialDeviceInfo info;
    info.path = "/dev/" + name;
    const auto stable = stableNames.find((root / "dev" / name).lexically_normal());
    if (stable != stableNames.end()) info.stableName = stable->second.string();
    ReadUsbIdentity(root, device, info);
    found.push_back(std::move(info));
  }
  std::sort(found.begin(), found.end(), [](const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
    return NaturalLess(a.path, b.path);
  });
  return found;
}

std::vector<SerialDeviceInfo> ListSerialDevices() { return ListSerialDevicesUnder("/"); }

}  // namespace kv218

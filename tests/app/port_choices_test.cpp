// The port selector's items after "COM20": each port once, the port in use always among them.

#include "app/port_choices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "port/system_port.h"

namespace kv218 {
namespace {

std::vector<std::string> Paths(const std::vector<PortChoice>& choices) {
  std::vector<std::string> paths;
  for (const PortChoice& choice : choices) paths.push_back(choice.path);
  return paths;
}

TEST(PortChoicesTest, ComItemsAreKnownByEitherSpelling) {
  const struct {
    const char* path;
    int item;
  } cases[] = {{"COM1", 0},
               {"\\\\.\\COM1", 0},
               {"\\\\.\\com20", 19},
               {"com5", 4},
               {"COM21", -1},
               {"\\\\.\\COM0", -1},
               {"COM05", -1},
               {"COM", -1},
               {"COM1x", -1},
               {"/dev/ttyS0", -1},
               {"", -1}};
  for (const auto& c : cases) EXPECT_EQ(ComItemOf(c.path), c.item) << c.path;
}

TEST(PortChoicesTest, EachPortOnceAndThePortInUseAlwaysShown) {
  // A COM item's device is listed by the system too ("\\.\COM1" on Windows, /dev/ttyS0 here).
  const std::string com1Device = SystemDevicePath("\\\\.\\COM1");
  const SerialDeviceInfo usb{"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00-port0", "FTDI",
                             "FT232R", "0403:6001"};
  const SerialDeviceInfo com21{"\\\\.\\COM21", "", "", "", ""};
  const std::vector<SerialDeviceInfo> devices{{com1Device, "", "", "", ""}, usb, com21};
  const struct {
    const char* name;
    std::string inUse;
    std::vector<std::string> items;
    int selected;
  } cases[] = {
      {"a COM item", "\\\\.\\COM5", {usb.path, com21.path}, 4},
      {"a device listed", usb.path, {usb.path, com21.path}, 20},
      {"a path of the settings file", "/tmp/kv218", {usb.path, com21.path, "/tmp/kv218"}, 22},
      {"no port yet", "", {usb.path, com21.path}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<PortChoice> choices = PortChoicesAfterComItems(devices, c.inUse);
    EXPECT_EQ(Paths(choices), c.items);
    EXPECT_EQ(PortItemIndex(choices, c.inUse), c.selected);
  }
  const std::vector<PortChoice> choices = PortChoicesAfterComItems({usb}, "");
  EXPECT_EQ(choices.front().details,
            "/dev/serial/by-id/usb-FTDI-if00-port0\nFTDI FT232R (0403:6001)");
}

}  // namespace
}  // namespace kv218

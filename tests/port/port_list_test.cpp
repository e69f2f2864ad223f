// The serial devices found in a fake sysfs tree laid out as the kernel lays out USB adapters
// (usb-serial and ACM), fitted and unfitted UARTs, and virtual terminals.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "port/port_list.h"
#include "port/port_list_linux.h"
#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

namespace fs = std::filesystem;

// A root folder with sys/class/tty, sys/devices and dev/serial/by-id as the kernel and udev
// make them: the class entries and the device links are relative symbolic links.
class FakeSystem {
 public:
  const fs::path& root() const { return folder_.path(); }

  // A USB device with its identity; returns its folder below sys/devices.
  fs::path UsbDevice(const std::string& bus, const std::string& vendor, const std::string& product,
                     const std::string& id) {
    const fs::path device = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + bus;
    const auto colon = id.find(':');
    Write(device / "idVendor", id.substr(0, colon));
    Write(device / "idProduct", id.substr(colon + 1));
    if (!vendor.empty()) Write(device / "manufacturer", vendor);
    if (!product.empty()) Write(device / "product", product);
    return device;
  }
  // ttyUSBn: the tty's device is the usb-serial port below the interface.
  void UsbSerial(const fs::path& usbDevice, const std::string& name) {
    Tty(name, usbDevice / (usbDevice.filename().string() + ":1.0") / name);
  }
  // ttyACMn: the tty's device is the interface itself.
  void Acm(const fs::path& usbDevice, const std::string& name) {
    Tty(name, usbDevice / (usbDevice.filename().string() + ":1.0"));
  }
  void Uart(const std::string& name, const std::string& type) {
    Tty(name, "sys/devices/pnp0/00:0" + name.substr(4));
    Write("sys/class/tty" / fs::path(name) / "type", type);
  }
  void Virtual(const std::string& name) { fs::create_directories(root() / "sys/class/tty" / name); }
  void ById(const std::string& link, const std::string& target) {
    fs::create_directories(root() / "dev/serial/by-id");
    fs::create_symlink(target, root() / "dev/serial/by-id" / link);
  }
  void Unplug(const std::string& name) { fs::remove_all(root() / "sys/class/tty" / name); }

 private:
  void Tty(const std::string& name, const fs::path& device) {
    const fs::path entry = root() / "sys/class/tty" / name;
    fs::create_directories(entry);
    fs::create_directories(root() / device);
    fs::create_symlink(fs::path("../../../..") / device, entry / "device");
    Write("sys/class/tty" / fs::path(name) / "dev", "188:0");
  }
  void Write(const fs::path& file, const std::string& text) {
    fs::create_directories((root() / file).parent_path());
    std::ofstream(root() / file) << text << "\n";
  }

  testing::TempFolder folder_;
};

std::vector<std::string> Paths(const std::vector<SerialDeviceInfo>& devices) {
  std::vector<std::string> paths;
  for (const auto& device : devices) paths.push_back(device.path);
  return paths;
}

TEST(PortListTest, ListsAdaptersAndFittedUartsWithTheirNamesAndIdentity) {
  FakeSystem sys;
  const fs::path ftdi = sys.UsbDevice("1-2", "FTDI", "FT232R USB UART", "0403:6001");
  sys.UsbSerial(ftdi, "ttyUSB0");
  const fs::path pico = sys.UsbDevice("1-3", "", "Pico", "2e8a:000a");
  sys.Acm(pico, "ttyACM0");
  sys.Uart("ttyS0", "4");
  sys.Uart("ttyS1", "0");  // a slot without a UART
  sys.Virtual("tty0");
  sys.Virtual("ptmx");
  sys.ById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
  sys.ById("usb-Raspberry_Pi_Pico-if00", "/dev/ttyACM0");  // an absolute target

  const auto devices = ListSerialDevicesUnder(sys.root());
  ASSERT_EQ(Paths(devices),
            (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB0"}));
  const struct {
    std::string stableName, vendor, product, usbId, description;
  } expected[] = {
      {"/dev/serial/by-id/usb-Raspberry_Pi_Pico-if00", "", "Pico", "2e8a:000a", "Pico (2e8a:000a)"},
      {"", "", "", "", ""},
      {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "FTDI", "FT232R USB UART",
       "0403:6001", "FTDI FT232R USB UART (0403:6001)"},
  };
  for (std::size_t i = 0; i < devices.size(); ++i) {
    SCOPED_TRACE(devices[i].path);
    EXPECT_EQ(devices[i].stableName, expected[i].stableName);
    EXPECT_EQ(devices[i].vendor, expected[i].vendor);
    EXPECT_EQ(devices[i].product, expected[i].product);
    EXPECT_EQ(devices[i].usbId, expected[i].usbId);
    EXPECT_EQ(DescribeSerialDevice(devices[i]), expected[i].description);
  }
}

TEST(PortListTest, AnUnpluggedAdapterIsNoLongerListedThoughItsNameLingers) {
  FakeSystem sys;
  const fs::path hub = sys.UsbDevice("1-4", "Prolific", "USB-Serial", "067b:2303");
  sys.UsbSerial(hub, "ttyUSB1");
  sys.ById("usb-Prolific-if00-port0", "../../ttyUSB1");
  ASSERT_EQ(Paths(ListSerialDevicesUnder(sys.root())), std::vector<std::string>{"/dev/ttyUSB1"});
  sys.Unplug("ttyUSB1");
  EXPECT_TRUE(ListSerialDevicesUnder(sys.root()).empty());
}

TEST(PortListTest, NoSysfsListsNothing) {
  testing::TempFolder empty;
  EXPECT_TRUE(ListSerialDevicesUnder(empty.path()).empty());
  EXPECT_TRUE(ListSerialDevicesUnder(empty.path() / "missing").empty());
}

TEST(PortListTest, PathsSortInNaturalOrder) {
  FakeSystem sys;
  for (const char* name : {"ttyUSB10", "ttyS2", "ttyUSB2", "ttyS10", "ttyUSB0"}) {
    sys.Uart(name, "4");
  }
  EXPECT_EQ(Paths(ListSerialDevicesUnder(sys.root())),
            (std::vector<std::string>{"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyUSB2",
                                      "/dev/ttyUSB10"}));
  const struct {
    const char* a;
    const char* b;
    bool less;
  } cases[] = {{"ttyS9", "ttyS10", true}, {"ttyS10", "ttyS9", false}, {"ttyS01", "ttyS2", true},
               {"ttyS", "ttyS0", true},   {"ttyS0", "ttyS0", false},  {"ttyACM0", "ttyS0", true}};
  for (const auto& c : cases) EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

}  // namespace
}  // namespace kv218

// Where the settings file lives: beside the executable when its folder is writable, else in the
// user's configuration folder, seeded from the file beside the executable.

#include "settings/settings_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/controller.h"
#include "app/queue_loop.h"
#include "ground/utf8_path.h"
#include "port/port_channel.h"
#include "settings/settings.h"
#include "testkit/recording_port.h"
#include "testkit/recording_window.h"
#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

TEST(SettingsLocationTest, BesideTheExecutableOrInTheUsersConfigurationFolder) {
  TempFolder tree;
  const std::string bin = tree.File("usr/bin");
  const std::string beside = bin + "/kv218tool.INI";
  const std::string home = tree.File("home/op");
  const std::string xdg = tree.File("xdg");
  const struct {
    const char* name;
    bool binWritable;
    std::string configHome, home;
    bool besideExists, ownExists;
    std::string read, write;
    bool makeFolder;
  } cases[] = {
      {"writable folder", true, xdg, home, true, true, beside, beside, false},
      {"XDG_CONFIG_HOME", false, xdg, home, false, false, xdg + "/kv218tool/kv218tool.INI",
       xdg + "/kv218tool/kv218tool.INI", true},
      {"default ~/.config", false, "", home, false, false,
       home + "/.config/kv218tool/kv218tool.INI", home + "/.config/kv218tool/kv218tool.INI", true},
      {"relative XDG_CONFIG_HOME is ignored", false, "cfg", home, false, false,
       home + "/.config/kv218tool/kv218tool.INI", home + "/.config/kv218tool/kv218tool.INI", true},
      {"file beside read until the user has one", false, xdg, home, true, false, beside,
       xdg + "/kv218tool/kv218tool.INI", true},
      {"the user's file once there is one", false, xdg, home, true, true,
       xdg + "/kv218tool/kv218tool.INI", xdg + "/kv218tool/kv218tool.INI", true},
      {"no home at all", false, "", "", false, false, beside, beside, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(tree.path());
    fs::create_directories(PathFromUtf8(bin));
    if (c.besideExists) tree.Write("usr/bin/kv218tool.INI", "[INDEX]\r\nTYPE=1\r\n");
    if (c.ownExists) {
      fs::create_directories(PathFromUtf8(xdg + "/kv218tool"));
      tree.Write("xdg/kv218tool/kv218tool.INI", "[INDEX]\r\nTYPE=2\r\n");
    }
    std::string asked;
    const SettingsEnvironment env{[&](const std::string& folder) {
                                    asked = folder;
                                    return c.binWritable;
                                  },
                                  c.configHome, c.home};
    const SettingsLocation location = LocateSettings(beside, env);
    // As paths: Windows joins them with its own separator.
    EXPECT_EQ(PathFromUtf8(asked), PathFromUtf8(bin));
    EXPECT_EQ(PathFromUtf8(location.readPath), PathFromUtf8(c.read));
    EXPECT_EQ(PathFromUtf8(location.writePath), PathFromUtf8(c.write));
    EXPECT_EQ(location.makeFolder, c.makeFolder);
  }
}

TEST(SettingsLocationTest, SystemEnvironmentTellsAWritableFolder) {
  TempFolder folder;
  const SettingsEnvironment env = SystemSettingsEnvironment();
  EXPECT_TRUE(env.folderWritable(Utf8FromPath(folder.path())));
  EXPECT_FALSE(env.folderWritable(Utf8FromPath(folder.path() / "missing")));
  EXPECT_EQ(folder.FileCount(), 0u);  // the probe leaves nothing behind
}

// A port that never opens: the settings are all these tests look at.
std::unique_ptr<PortChannel> AbsentPort() {
  auto port = std::make_unique<test::RecordingPort>();
  port->opens = false;
  port->open = false;
  return port;
}

TEST(SettingsLocationTest, InstalledCopyStartsFromTheFileBesideAndSavesInTheUsersFolder) {
  TempFolder tree;
  fs::create_directories(tree.path() / "usr/bin");
  const std::string beside =
      tree.Write("usr/bin/kv218tool.INI", "[COM PORT SETTING]\r\nPORT=/dev/ttyUSB4\r\n");
  const SettingsEnvironment env{[](const std::string&) { return false; }, "", tree.File("home/op")};
  const std::string own = tree.File("home/op/.config/kv218tool/kv218tool.INI");

  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE(start == 0 ? "first start" : "second start");
    RecordingWindow window;
    QueueLoop loop;
    Controller controller(window, loop, LocateSettings(beside, env), AbsentPort);
    controller.Open();
    EXPECT_EQ(controller.PortPath(), start == 0 ? "/dev/ttyUSB4" : "\\\\.\\COM3");
    controller.SelectPort(2);
    ASSERT_TRUE(controller.Close(2));
    EXPECT_EQ(ReadSettings(own).PortPath, "\\\\.\\COM3");
    EXPECT_EQ(TempFolder::Read(beside), "[COM PORT SETTING]\r\nPORT=/dev/ttyUSB4\r\n");
    loop.Shutdown();
  }
}

}  // namespace
}  // namespace kv218

// The controller's settings: read from the settings file at the start, saved at the close (and
// a save that fails).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/controller.h"
#include "controller_test.h"
#include "ground/utf8_path.h"
#include "settings/settings.h"

namespace kv218 {
namespace {

using ::testing::StartsWith;

TEST_F(ControllerTest, StartsWithTheDefaultsWhenThereIsNoSettingsFile) {
  controller.Open();
  ASSERT_NE(lastPort, nullptr);
  EXPECT_EQ(watch.OpenedPath(), "\\\\.\\COM1");
  EXPECT_EQ(watch.OpenedSettings(), "115200,E,8,1");
  EXPECT_EQ(window.panels[1], "COM1");
  EXPECT_TRUE(controller.PortOpen());
  EXPECT_EQ(controller.settings().Com, 0);
  EXPECT_EQ(controller.settings().Type, 0);
  EXPECT_EQ(controller.station().port, lastPort);
}

TEST_F(ControllerTest, OpensThePortTheSettingsName) {
  std::ofstream(PathFromUtf8(settingsPath))
      << "[COM PORT SETTING]\r\nPORT=/dev/ttyUSB3\r\nBAUD=0x2580\r\n"
         "PARITY=N\r\n[INDEX]\r\nCOM=7\r\nTYPE=2\r\n";
  controller.Open();
  EXPECT_EQ(watch.OpenedPath(), "/dev/ttyUSB3");
  EXPECT_EQ(watch.OpenedSettings(), "9600,N,8,1");
  EXPECT_EQ(window.panels[1], "/dev/ttyUSB3");  // no backslash: the whole path
  EXPECT_EQ(controller.settings().Com, 7);
  EXPECT_EQ(controller.settings().Type, 2);
}

TEST_F(ControllerTest, CloseSavesTheSettingsAndClosesThePort) {
  controller.Open();
  controller.SelectPort(4);
  window.targetType = 3;
  EXPECT_TRUE(controller.Close(4));
  EXPECT_FALSE(controller.PortOpen());
  EXPECT_EQ(controller.station().port, nullptr);
  const Settings saved = ReadSettings(settingsPath);
  EXPECT_EQ(saved.PortPath, "\\\\.\\COM5");
  EXPECT_EQ(saved.Com, 4);
  EXPECT_EQ(saved.Type, 3);
  EXPECT_EQ(saved.PortBaud, 115200);
  EXPECT_EQ(saved.PortParity, "E");
}

TEST_F(ControllerTest, AFailedSaveKeepsTheWindowOpenOnceThenLetsItClose) {
  const std::string blocked = Utf8FromPath(dir.path() / "no-such-folder" / "kv218tool.INI");
  Controller other(window, loop, blocked, [this] { return MakePort(); });
  other.Open();
  EXPECT_FALSE(other.Close(0));
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_THAT(window.errors[0], StartsWith("Unable to write to " + blocked + ": "));
  EXPECT_TRUE(other.PortOpen());
  // The operator has been told; closing again closes, without the same message again.
  EXPECT_TRUE(other.Close(0));
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_FALSE(other.PortOpen());
}

TEST_F(ControllerTest, NoTypeIsNeverSaved) {
  std::ofstream(PathFromUtf8(settingsPath)) << "[INDEX]\r\nCOM=3\r\nTYPE=Eco\r\n";
  controller.Open();
  EXPECT_EQ(controller.settings().Type, -1);
  window.targetType = -1;
  EXPECT_TRUE(controller.Close(-1));
  EXPECT_THAT(ReadSettingsText(), ::testing::HasSubstr("COM=3\r\nTYPE=Eco\r\n"));
}

}  // namespace
}  // namespace kv218

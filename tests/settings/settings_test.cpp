#include "settings/settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

using testing::TempFolder;

class SettingsTest : public ::testing::Test {
 protected:
  TempFolder folder;
};

TEST_F(SettingsTest, WithoutAFileEverythingIsDefault) {
  EXPECT_EQ(ReadSettings(folder.File("")).PortPath, "\\\\.\\COM1");  // a folder reads as empty
  const Settings s = ReadSettings(folder.File("kv218tool.INI"));
  EXPECT_EQ(s.PortPath, "\\\\.\\COM1");
  EXPECT_EQ(s.PortBaud, 115200);
  EXPECT_EQ(s.PortData, 8);
  EXPECT_EQ(s.PortStop, 1);
  EXPECT_EQ(s.PortParity, "E");
  EXPECT_EQ(s.Com, 0);
  EXPECT_EQ(s.Type, 0);
  EXPECT_EQ(PortSettingsText(s), "115200,E,8,1");
  EXPECT_EQ(PortNameOf(s.PortPath), "COM1");
}

TEST_F(SettingsTest, WritingCreatesTheFileWithTheSevenKeys) {
  const std::string path = folder.File("kv218tool.INI");
  ASSERT_FALSE(WriteSettings(path, ReadSettings(path)));
  EXPECT_EQ(TempFolder::Read(path),
            "[COM PORT SETTING]\r\nPORT=\\\\.\\COM1\r\nBAUD=115200\r\nDATA=8\r\nSTOP=1\r\n"
            "PARITY=E\r\n[INDEX]\r\nCOM=0\r\nTYPE=0\r\n");  // as Windows writes it
}

TEST_F(SettingsTest, UnusableValuesGiveTheDefaults) {
  const Settings s = ReadSettings(
      folder.Write("kv218tool.INI",
                   "[COM PORT SETTING]\r\nBAUD=fast\r\nDATA=0x7\r\nSTOP=\r\nPARITY=\r\n"
                   "[INDEX]\r\nCOM=0x\r\nTYPE=-1\r\n"));
  EXPECT_EQ(s.PortBaud, 115200);
  EXPECT_EQ(s.PortData, 7);
  EXPECT_EQ(s.PortStop, 1);
  EXPECT_EQ(s.PortParity, "");  // a present text is used unchanged, also when empty
  EXPECT_EQ(s.Com, 0);
  EXPECT_EQ(s.Type, -1);  // no target selected
}

TEST_F(SettingsTest, HexadecimalBaudRate) {
  const std::string path = folder.Write("kv218tool.INI", "[COM PORT SETTING]\r\nBAUD=0x1C200\r\n");
  EXPECT_EQ(ReadSettings(path).PortBaud, 115200);
}

TEST_F(SettingsTest, RoundTripKeepsForeignKeysAndComments) {
  const std::string path =
      folder.Write("kv218tool.INI",
                   "; site settings\r\n[COM PORT SETTING]\r\nPORT=/dev/ttyS0\r\n"
                   "TRACE=1\r\n\r\n[INDEX]\r\nCOM=0\r\n");
  Settings s = ReadSettings(path);
  EXPECT_EQ(s.PortPath, "/dev/ttyS0");
  s.PortPath = "\\\\.\\COM5";
  s.Com = 4;
  s.Type = 2;
  ASSERT_FALSE(WriteSettings(path, s));
  EXPECT_EQ(TempFolder::Read(path),
            "; site settings\r\n[COM PORT SETTING]\r\nPORT=\\\\.\\COM5\r\nTRACE=1\r\n"
            "BAUD=115200\r\nDATA=8\r\nSTOP=1\r\nPARITY=E\r\n\r\n[INDEX]\r\nCOM=4\r\nTYPE=2\r\n");
  const Settings again = ReadSettings(path);
  EXPECT_EQ(again.PortPath, "\\\\.\\COM5");
  EXPECT_EQ(again.Com, 4);
  EXPECT_EQ(again.Type, 2);
}

// A TYPE that names no type selects none (the operator chooses); only a missing one is the
// first type. "None" is never written: the key stays as the file has it.
TEST_F(SettingsTest, ATypeThatNamesNoTypeSelectsNoneAndIsNeverWritten) {
  const struct {
    const char* index;  // the [INDEX] section read
    int type;
    const char* written;  // the [INDEX] section written back (COM left as it was)
  } cases[] = {
      {"COM=1\r\n", 0, "COM=1\r\nTYPE=0\r\n"}, {"TYPE=3\r\n", 3, "TYPE=3\r\n"},
      {"TYPE=0x2\r\n", 2, "TYPE=2\r\n"},       {"TYPE=-1\r\n", -1, "TYPE=-1\r\n"},
      {"TYPE=4\r\n", -1, "TYPE=4\r\n"},        {"TYPE=Eco\r\n", -1, "TYPE=Eco\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    const std::string path = folder.Write("kv218tool.INI", std::string("[INDEX]\r\n") + c.index);
    Settings read = ReadSettings(path);
    EXPECT_EQ(read.Type, c.type);
    read.Com = -1;  // nothing selected in the port selector either
    ASSERT_FALSE(WriteSettings(path, read));
    const std::string written = TempFolder::Read(path);
    const std::size_t index = written.find("[INDEX]");
    EXPECT_EQ(written.substr(index, written.find('[', index + 1) - index),
              std::string("[INDEX]\r\n") + c.written);
  }
}

TEST_F(SettingsTest, FramingSilenceIsReadAndKeptAsWritten) {
  struct Case {
    const char* line;
    bool silence;
  };
  for (const Case& c :
       {Case{"", false}, Case{"FRAMING=SILENCE\r\n", true}, Case{"framing = silence\r\n", true},
        Case{"FRAMING=REPLY\r\n", false}, Case{"FRAMING=1\r\n", false}}) {
    const std::string text = std::string("[COM PORT SETTING]\r\n") + c.line + "PORT=COM2\r\n";
    const std::string path = folder.Write("kv218tool.INI", text);
    Settings s = ReadSettings(path);
    EXPECT_EQ(s.SilenceFraming, c.silence) << c.line;
    ASSERT_FALSE(WriteSettings(path, s));
    EXPECT_NE(TempFolder::Read(path).find(c.line), std::string::npos) << "left alone: " << c.line;
  }
}

TEST_F(SettingsTest, AFailedWriteNamesTheFileAndWhy) {
  const std::string path = folder.File("no-such-folder/kv218tool.INI");
  const auto error = WriteSettings(path, Settings{});
  ASSERT_TRUE(error.has_value());
  const std::string named = "Unable to write to " + path + ": ";
  EXPECT_EQ(error->substr(0, named.size()), named);
  EXPECT_GT(error->size(), named.size()) << "the system's reason";
}

// A settings file far too large to be one: read as the defaults, and never written over (the
// pipes and devices: the special files test).
TEST_F(SettingsTest, AFileFarTooLargeGivesDefaultsAndIsLeftAlone) {
  const std::string huge = folder.Write("huge.INI", "[INDEX]\r\nTYPE=3\r\n");
  std::filesystem::resize_file(PathFromUtf8(huge), 1024 * 1024 + 1);
  const Settings read = ReadSettings(huge);
  EXPECT_EQ(read.Type, 0);
  EXPECT_EQ(read.NotRead, "larger than a settings file can be (1 MB)");
  EXPECT_EQ(SettingsNotReadText(huge, read),
            "Settings file " + huge +
                " not read (larger than a settings file can be (1 MB)); the defaults are used");
  EXPECT_EQ(SettingsNotReadText(huge, ReadSettings(folder.File("missing.INI"))), "");
  Settings changed;
  changed.Type = 2;
  EXPECT_EQ(WriteSettings(huge, changed),
            "Unable to write to " + huge + ": larger than a settings file can be (1 MB)");
  EXPECT_EQ(std::filesystem::file_size(PathFromUtf8(huge)), 1024u * 1024u + 1u);
  EXPECT_EQ(TempFolder::Read(huge).substr(0, 15), "[INDEX]\r\nTYPE=3");
}

struct PathCase {
  const char* executable;
  const char* settings;
};

class SettingsPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPathTest, ReplacesOrAppendsTheExtension) {
  EXPECT_EQ(SettingsPathFor(GetParam().executable), GetParam().settings);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SettingsPathTest,
    ::testing::Values(PathCase{"/opt/kv218/kv218tool", "/opt/kv218/kv218tool.INI"},
                      PathCase{"/opt/kv218.d/kv218tool", "/opt/kv218.d/kv218tool.INI"},
                      PathCase{"/opt/kv218/kv218tool.exe", "/opt/kv218/kv218tool.INI"},
                      PathCase{"/opt/kv218/kv.tool.bin", "/opt/kv218/kv.tool.INI"},
                      PathCase{"C:\\Tools\\KV-218\\kv218tool.exe",
                               "C:\\Tools\\KV-218\\kv218tool.INI"},
                      PathCase{"C:\\v1.85\\kv218tool", "C:\\v1.85\\kv218tool.INI"},
                      PathCase{"kv218tool", "kv218tool.INI"}));

struct PortNameCase {
  const char* path;
  const char* name;
};

class PortNameTest : public ::testing::TestWithParam<PortNameCase> {};

TEST_P(PortNameTest, IsThePartAfterTheLastBackslash) {
  EXPECT_EQ(PortNameOf(GetParam().path), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Paths, PortNameTest,
                         ::testing::Values(PortNameCase{"\\\\.\\COM1", "COM1"},
                                           PortNameCase{"\\\\.\\COM12", "COM12"},
                                           PortNameCase{"/dev/ttyUSB0", "/dev/ttyUSB0"},
                                           PortNameCase{"COM3\\", ""}, PortNameCase{"", ""}));

TEST(RunningExecutableTest, IsThisTestProgram) {
  const std::filesystem::path self = PathFromUtf8(RunningExecutablePath());
  EXPECT_TRUE(self.is_absolute());
  EXPECT_EQ(self.stem(), "kv218_settings_tests");  // kv218_settings_tests.exe on Windows
  EXPECT_EQ(SettingsPathFor(Utf8FromPath(self)),
            Utf8FromPath(self.parent_path() / "kv218_settings_tests.INI"));
}

}  // namespace
}  // namespace kv218

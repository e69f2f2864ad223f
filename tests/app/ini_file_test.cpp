#include "app/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "temp_folder.h"

namespace kv218 {
namespace {

using testing::TempFolder;

// A file as another Windows program might leave it: CR LF, a byte-order mark, comments,
// blanks around names and values, keys of other programs, mixed case.
const std::string kForeign =
    "\xEF\xBB\xBF; written by the operators' tool\r\n"
    "[Com Port Setting]\r\n"
    "  Port = \\\\.\\COM3  \r\n"
    "baud=9600\r\n"
    "Parity=\r\n"
    "VENDOR=\"Velkor Ltd\"\r\n"
    "\r\n"
    "[OTHER]\r\n"
    "TYPE=9\r\n"
    "\r\n"
    "[ index ]\r\n"
    "Type='2'\r\n";

class IniFileTest : public ::testing::Test {
 protected:
  TempFolder folder;
};

TEST_F(IniFileTest, ReadsAFileWrittenByAnotherProgram) {
  const IniFile file(folder.Write("tool.INI", kForeign));
  EXPECT_EQ(file.ReadString("COM PORT SETTING", "PORT", "x"), "\\\\.\\COM3");
  EXPECT_EQ(file.ReadInteger("COM PORT SETTING", "BAUD", 1), 9600);
  EXPECT_EQ(file.ReadString("COM PORT SETTING", "PARITY", "E"), "");  // present, empty
  EXPECT_EQ(file.ReadString("COM PORT SETTING", "VENDOR", ""), "Velkor Ltd");
  EXPECT_EQ(file.ReadInteger("INDEX", "TYPE", 0), 2);
  EXPECT_EQ(file.ReadInteger("INDEX", "COM", 7), 7);
  EXPECT_FALSE(file.Find("NOWHERE", "PORT"));
}

TEST_F(IniFileTest, KeysOutsideTheirSectionAndCommentsAreNotFound) {
  const IniFile file(folder.Write("tool.INI", "PORT=a\n[S]\n;PORT=b\nPORT\n[T]\nPORT=c\n"));
  EXPECT_FALSE(file.Find("S", "PORT"));
  EXPECT_FALSE(file.Find("S", ";PORT"));
}

TEST_F(IniFileTest, ValuesAreCutAt2047Characters) {
  const IniFile file(folder.Write("tool.INI", "[S]\nK=" + std::string(3000, 'v') + "\n"));
  EXPECT_EQ(file.ReadString("S", "K", "").size(), 2047u);
}

TEST_F(IniFileTest, AMissingFileReadsAsEmpty) {
  const IniFile file(folder.File("absent.INI"));
  EXPECT_EQ(file.ReadString("S", "K", "fallback"), "fallback");
  EXPECT_EQ(file.Text(), "");
}

struct IntegerCase {
  const char* text;
  std::optional<std::int32_t> value;
};

class ProfileIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ProfileIntegerTest, Parses) {
  EXPECT_EQ(ParseProfileInteger(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ProfileIntegerTest,
    ::testing::Values(IntegerCase{"115200", 115200}, IntegerCase{"0x1C200", 115200},
                      IntegerCase{"0X1c200", 115200}, IntegerCase{"-1", -1}, IntegerCase{"+5", 5},
                      IntegerCase{"007", 7}, IntegerCase{"2147483647", INT_MAX},
                      IntegerCase{"-2147483648", INT_MIN}, IntegerCase{"0xFFFFFFFF", -1},
                      IntegerCase{"0x0000000010", 16}, IntegerCase{"fast", std::nullopt},
                      IntegerCase{"", std::nullopt}, IntegerCase{"0x", std::nullopt},
                      IntegerCase{"-", std::nullopt}, IntegerCase{"1 2", std::nullopt},
                      IntegerCase{"$1C200", std::nullopt}, IntegerCase{"0x1G", std::nullopt},
                      IntegerCase{"2147483648", std::nullopt},
                      IntegerCase{"0x100000000", std::nullopt},
                      IntegerCase{"123456789012345678901234567890", std::nullopt}));

TEST_F(IniFileTest, WritingKeepsEveryOtherLineByteForByte) {
  const std::string path = folder.Write("tool.INI", kForeign);
  IniFile file(path);
  ASSERT_TRUE(file.WriteString("COM PORT SETTING", "PORT", "\\\\.\\COM5"));
  ASSERT_TRUE(file.WriteInteger("COM PORT SETTING", "STOP", 1));
  ASSERT_TRUE(file.WriteInteger("INDEX", "COM", -1));
  ASSERT_TRUE(file.WriteString("NEW", "KEY", "v"));
  const std::string expected =
      "\xEF\xBB\xBF; written by the operators' tool\r\n"
      "[Com Port Setting]\r\n"
      "Port=\\\\.\\COM5\r\n"
      "baud=9600\r\n"
      "Parity=\r\n"
      "VENDOR=\"Velkor Ltd\"\r\n"
      "STOP=1\r\n"
      "\r\n"
      "[OTHER]\r\n"
      "TYPE=9\r\n"
      "\r\n"
      "[ index ]\r\n"
      "Type='2'\r\n"
      "COM=-1\r\n"
      "\r\n"
      "[NEW]\r\n"
      "KEY=v\r\n";
  EXPECT_EQ(TempFolder::Read(path), expected);
  EXPECT_EQ(IniFile(path).ReadInteger("index", "com", 0), -1);
  EXPECT_EQ(folder.FileCount(), 1u);  // no temporary file left behind
}

TEST_F(IniFileTest, NewLinesFollowTheFilesLineEnding) {
  const std::string path = folder.Write("tool.INI", "[A]\nX=1\n\n[B]\nY=2");
  IniFile file(path);
  ASSERT_TRUE(file.WriteString("A", "Z", "3"));
  ASSERT_TRUE(file.WriteString("B", "W", "4"));
  EXPECT_EQ(TempFolder::Read(path), "[A]\nX=1\nZ=3\n\n[B]\nY=2\nW=4\n");
}

TEST_F(IniFileTest, CreatesAMissingFileWithCrLf) {
  const std::string path = folder.File("new.INI");
  IniFile file(path);
  ASSERT_TRUE(file.WriteString("INDEX", "COM", "0"));
  ASSERT_TRUE(file.WriteString("INDEX", "TYPE", "0"));
  EXPECT_EQ(TempFolder::Read(path), "[INDEX]\r\nCOM=0\r\nTYPE=0\r\n");
}

TEST_F(IniFileTest, AFailedWriteChangesNothing) {
  IniFile file(folder.File("missing-folder/tool.INI"));
  EXPECT_FALSE(file.WriteString("S", "K", "v"));
  EXPECT_EQ(file.Text(), "");

  // A path that names a folder cannot be replaced by a file.
  const std::string folderPath = folder.File("");
  IniFile onFolder(folderPath);
  EXPECT_FALSE(onFolder.WriteString("S", "K", "v"));
  EXPECT_EQ(folder.FileCount(), 0u);
}

}  // namespace
}  // namespace kv218

#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "settings/profile_encoding.h"
#include "settings/settings.h"

#include "testkit/temp_folder.h"

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

TEST_F(IniFileTest, ANewLineEndsAsTheLineItFollowsSoNoLinesJoin) {
  // The file's first line ends in a lone CR; a new key after a CR LF line before a blank LF
  // line must not end in CR, which would join the blank line's LF into its own ending.
  const std::string path = folder.Write("tool.INI", "; c\r[S]\r\nK=1\r\n\n[T]\n");
  IniFile file(path);
  ASSERT_TRUE(file.WriteString("S", "L", "2"));
  EXPECT_EQ(TempFolder::Read(path), "; c\r[S]\r\nK=1\r\nL=2\r\n\n[T]\n");
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

TEST_F(IniFileTest, ASectionThatAppearsTwiceCountsInItsFirstCopyOnly) {
  // Windows reads and writes the first copy; a key that only a later copy holds is missing.
  const std::string path = folder.Write(
      "tool.INI", "[INDEX]\r\nCOM=1\r\n[OTHER]\r\nX=1\r\n[index]\r\nCOM=2\r\nTYPE=3\r\n");
  IniFile file(path);
  EXPECT_EQ(file.ReadInteger("INDEX", "COM", 0), 1);
  EXPECT_EQ(file.ReadInteger("INDEX", "TYPE", 0), 0);
  ASSERT_TRUE(file.WriteInteger("INDEX", "COM", 5));
  ASSERT_TRUE(file.WriteInteger("INDEX", "TYPE", 0));
  EXPECT_EQ(TempFolder::Read(path),
            "[INDEX]\r\nCOM=5\r\nTYPE=0\r\n[OTHER]\r\nX=1\r\n[index]\r\nCOM=2\r\nTYPE=3\r\n");
}

// The bytes of a file that Notepad saves as "Unicode" (little endian) or "Unicode big endian".
std::string Utf16File(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (char16_t unit : std::u16string(u"\uFEFF") + std::u16string(text)) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

class Utf16FileTest : public IniFileTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Utf16FileTest, IsReadAndWrittenBackInItsOwnEncoding) {
  const bool bigEndian = GetParam();
  const std::string path =
      folder.Write("tool.INI", Utf16File(u"; Grüße 😀\r\n[COM PORT SETTING]\r\nPORT=\\\\.\\COM3\r\n"
                                         u"OWNER=Jürgen\r\n[INDEX]\r\nTYPE=2\r\n",
                                         bigEndian));
  IniFile file(path);
  EXPECT_EQ(file.ReadString("COM PORT SETTING", "PORT", ""), "\\\\.\\COM3");
  EXPECT_EQ(file.ReadString("COM PORT SETTING", "OWNER", ""), "J\xC3\xBCrgen");
  EXPECT_EQ(file.ReadInteger("INDEX", "TYPE", 0), 2);

  ASSERT_TRUE(file.WriteString("COM PORT SETTING", "PORT", "\\\\.\\COM5"));
  ASSERT_TRUE(file.WriteInteger("INDEX", "COM", 4));
  ASSERT_TRUE(file.WriteInteger("NEW", "KEY", 1));
  EXPECT_EQ(TempFolder::Read(path),
            Utf16File(u"; Grüße 😀\r\n[COM PORT SETTING]\r\nPORT=\\\\.\\COM5\r\n"
                      u"OWNER=Jürgen\r\n[INDEX]\r\nTYPE=2\r\nCOM=4\r\n[NEW]\r\nKEY=1\r\n",
                      bigEndian));
}

std::string ByteOrderName(const ::testing::TestParamInfo<bool>& param) {
  return param.param ? "BigEndian" : "LittleEndian";
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, Utf16FileTest, ::testing::Values(false, true), ByteOrderName);

TEST(ProfileEncodingTest, DecodingAndEncodingGiveBackTheSameBytes) {
  const std::string files[] = {
      std::string("\xFF\xFE[\0S\0]\0", 8),                 // little endian
      std::string("\xFE\xFF\0[\0S\0]", 8),                 // big endian
      std::string("\xFF\xFE\x00\xD8;\0\x00\xDCK\0", 10),   // unpaired surrogates
      std::string("\xFF\xFE\x3D\xD8\x00\xDE\x00\xD8", 8),  // a pair, then a lone high
      std::string("\xFF\xFEK\0=\0Z", 7),                   // an odd last byte
      std::string("\xFF\xFE", 2),                          // the mark alone
      std::string("\xEF\xBB\xBF[S]\r\n\xFF\xFE", 10),      // bytes, not UTF-16
  };
  for (const std::string& bytes : files) {
    const DecodedProfile decoded = DecodeProfile(bytes);
    EXPECT_EQ(EncodeProfile(decoded.text, decoded.encoding, decoded.tail), bytes);
  }
  EXPECT_EQ(DecodeProfile(files[2]).text, "\xED\xA0\x80;\xED\xB0\x80K");
  EXPECT_EQ(DecodeProfile(files[3]).text, "\xF0\x9F\x98\x80\xED\xA0\x80");
}

// A folder that takes no new file, or a file that refuses to be written (read-only, a disk
// that fails), each with the system's reason; the in-place writer is the system's own.
class RefusingReplacer : public FileReplacer {
 public:
  explicit RefusingReplacer(Result result) : result_(result) {}
  Outcome ReplaceThroughTemporary(const std::string&, std::string_view) override {
    return {result_, "Permission denied"};
  }
  std::optional<std::string> OverwriteInPlace(const std::string& path,
                                              std::string_view bytes) override {
    ++inPlaceWrites;
    return SystemFileReplacer().OverwriteInPlace(path, bytes);
  }
  int inPlaceWrites = 0;

 private:
  Result result_;
};

struct RefusalCase {
  FileReplacer::Result result;
  bool saved;
};

class FolderRefusalTest : public IniFileTest, public ::testing::WithParamInterface<RefusalCase> {};

// Only a folder that takes no new file sends the save to the file itself: a file that refuses
// is left as it is, and the reason is kept for the message.
TEST_P(FolderRefusalTest, SavesInPlaceOnlyWhenNoTemporaryFileCanBeMade) {
  const std::string before = "[S]\r\nK=" + std::string(100, 'x') + "\r\n";
  const std::string path = folder.Write("tool.INI", before);
  RefusingReplacer refusing(GetParam().result);
  IniFile file(path, &refusing);
  EXPECT_EQ(file.WriteString("S", "K", "short"), GetParam().saved);
  EXPECT_EQ(refusing.inPlaceWrites, GetParam().saved ? 1 : 0);
  EXPECT_EQ(TempFolder::Read(path), GetParam().saved ? "[S]\r\nK=short\r\n" : before);
  if (!GetParam().saved) {
    EXPECT_EQ(file.LastError(), "Permission denied");
  }
}

INSTANTIATE_TEST_SUITE_P(Refusals, FolderRefusalTest,
                         ::testing::Values(RefusalCase{FileReplacer::Result::NoTemporary, true},
                                           RefusalCase{FileReplacer::Result::Failed, false}));

// The reason comes through to the message the operator sees.
TEST_F(IniFileTest, TheSettingsMessageNamesTheReason) {
  const std::string path = folder.Write("tool.INI", "[INDEX]\r\nTYPE=1\r\n");
  RefusingReplacer refusing(FileReplacer::Result::Failed);
  EXPECT_EQ(WriteSettings(path, Settings{}, &refusing),
            "Unable to write to " + path + ": Permission denied");
}

// Every save of the file, passed on to the system's own.
class CountingReplacer : public FileReplacer {
 public:
  Outcome ReplaceThroughTemporary(const std::string& path, std::string_view bytes) override {
    saved.emplace_back(bytes);
    return SystemFileReplacer().ReplaceThroughTemporary(path, bytes);
  }
  std::optional<std::string> OverwriteInPlace(const std::string& path,
                                              std::string_view bytes) override {
    return SystemFileReplacer().OverwriteInPlace(path, bytes);
  }
  std::vector<std::string> saved;
};

// The seven keys are one save: one file written, synced and renamed, never six files between.
TEST_F(IniFileTest, TheSettingsAreSavedOnceWithAllTheirKeys) {
  for (const std::string before : {"", "[INDEX]\r\nTYPE=1\r\n[OTHER]\r\nX=1\r\n"}) {
    const std::string path = folder.Write("tool.INI", before);
    CountingReplacer counting;
    Settings settings;
    settings.Type = 2;
    ASSERT_EQ(WriteSettings(path, settings, &counting), std::nullopt);
    ASSERT_EQ(counting.saved.size(), 1u);
    EXPECT_EQ(counting.saved[0], TempFolder::Read(path));
    EXPECT_EQ(ReadSettings(path).Type, 2);
    EXPECT_EQ(ReadSettings(path).PortPath, settings.PortPath);
  }
}

// A save that fails writes none of the keys and leaves the object as the file is.
TEST_F(IniFileTest, KeysThatCannotBeSavedAreNotKept) {
  const std::string path = folder.Write("tool.INI", "[S]\r\nK=1\r\n");
  RefusingReplacer refusing(FileReplacer::Result::Failed);
  IniFile file(path, &refusing);
  const IniFile::KeyValue keys[] = {{"S", "K", "2"}, {"T", "L", "3"}};
  EXPECT_FALSE(file.WriteKeys(keys));
  EXPECT_EQ(file.Text(), "[S]\r\nK=1\r\n");
  EXPECT_EQ(TempFolder::Read(path), "[S]\r\nK=1\r\n");
}

}  // namespace
}  // namespace kv218

// The platform seam, on whichever platform the tests run: every case keeps its files in a
// folder with a non-ASCII name.

#include "ground/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ground/utf8_path.h"
#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

namespace fs = std::filesystem;

std::time_t LocalWhen(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

TEST(LocalTimeStamp, IsTheDateThenOneBlankThenTheTimeAndTheDateAloneAtMidnight) {
  const std::string midnight = LocalTimeStampText(LocalWhen(2024, 12, 31, 0, 0, 0));
  const std::string late = LocalTimeStampText(LocalWhen(2024, 12, 31, 23, 59, 58));
  ASSERT_FALSE(midnight.empty());
  for (const char* part : {"12", "31", "24"}) EXPECT_NE(midnight.find(part), std::string::npos);
  ASSERT_EQ(late.substr(0, midnight.size() + 1), midnight + " ") << late;
  const std::string time = late.substr(midnight.size() + 1);
  for (const char* part : {"59", "58"}) EXPECT_NE(time.find(part), std::string::npos) << time;
  EXPECT_NE(LocalTimeStampText(LocalWhen(2025, 1, 1, 0, 0, 0)), midnight);
}

TEST(LocalTime, GivesTheCalendarFieldsBack) {
  const std::tm local = LocalTime(LocalWhen(2024, 2, 29, 13, 4, 5));
  EXPECT_EQ(local.tm_year, 124);
  EXPECT_EQ(local.tm_mon, 1);
  EXPECT_EQ(local.tm_mday, 29);
  EXPECT_EQ(local.tm_hour, 13);
  EXPECT_EQ(local.tm_min, 4);
  EXPECT_EQ(local.tm_sec, 5);
}

TEST(ExecutablePath, NamesThisTestProgram) {
  const fs::path self = PathFromUtf8(ExecutablePath());
  EXPECT_TRUE(self.is_absolute());
  EXPECT_TRUE(fs::is_regular_file(self)) << ExecutablePath();
  EXPECT_EQ(self.stem(), "platform_test");
}

class FileTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const {
    return Utf8FromPath(folder / PathFromUtf8(name));
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(folder / PathFromUtf8(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The UTF-8 names in the folder, as the file system lists them.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(Utf8FromPath(entry.path().filename()));
    return names;
  }

  const testing::TempFolder temp{"kv218-platform"};
  const fs::path& folder = temp.path();
};

TEST_F(FileTest, OpenFileKeepsANonAsciiNameWhole) {
  const std::string name =
      "Pr\xC3\xBC"
      "fling-\xE6\x97\xA5.hex";  // "Prüfling-日.hex"
  std::FILE* file = OpenFile(PathOf(name), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("abc", file);
  std::fclose(file);
  EXPECT_EQ(Names(), std::vector<std::string>{name});

  file = OpenFile(PathOf(name), "rb");
  ASSERT_NE(file, nullptr);
  char text[4] = {};
  EXPECT_EQ(std::fread(text, 1, 3, file), 3u);
  std::fclose(file);
  EXPECT_STREQ(text, "abc");
}

TEST_F(FileTest, AReplacementTakesThePlaceOfTheOldFileAndLeavesNothingElse) {
  std::ofstream(folder / "kv218tool.INI", std::ios::binary) << "old content, longer than the new";
  {
    ReplacementFile file(PathOf("kv218tool.INI"));
    ASSERT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.Write("new "));
    ASSERT_TRUE(file.Write(std::string("\0\r\n", 3)));
    EXPECT_EQ(Read("kv218tool.INI"), "old content, longer than the new") << "not before Commit";
    ASSERT_TRUE(file.Commit());
  }
  EXPECT_EQ(Read("kv218tool.INI"), std::string("new \0\r\n", 7));
  EXPECT_EQ(Names(), std::vector<std::string>{"kv218tool.INI"});
}

TEST_F(FileTest, AReplacementMakesAMissingTarget) {
  ReplacementFile file(PathOf("state"));
  ASSERT_TRUE(file.Write("first"));
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(Read("state"), "first");
  EXPECT_EQ(Names(), std::vector<std::string>{"state"});
}

TEST_F(FileTest, AnUncommittedReplacementChangesNothing) {
  std::ofstream(folder / "kv218tool.INI", std::ios::binary) << "kept";
  {
    ReplacementFile file(PathOf("kv218tool.INI"));
    ASSERT_TRUE(file.Write("dropped"));
  }
  EXPECT_EQ(Read("kv218tool.INI"), "kept");
  EXPECT_EQ(Names(), std::vector<std::string>{"kv218tool.INI"});
}

TEST_F(FileTest, AReplacementThatCannotTakeThePlaceLeavesTheTargetAndNoTemporaryFile) {
  // A folder with a file in it cannot be replaced by a file on any platform.
  fs::create_directory(folder / "target");
  std::ofstream(folder / "target" / "inside", std::ios::binary) << "x";
  ReplacementFile file(PathOf("target"));
  ASSERT_TRUE(file.Write("data"));
  EXPECT_FALSE(file.Commit());
  EXPECT_FALSE(LastErrorText().empty());
  EXPECT_EQ(Names(), std::vector<std::string>{"target"});
  EXPECT_TRUE(fs::is_directory(folder / "target"));
}

TEST_F(FileTest, NoReplacementInAMissingFolder) {
  ReplacementFile file(PathOf("missing/kv218tool.INI"));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Write("data"));
  EXPECT_FALSE(file.Commit());
  EXPECT_TRUE(Names().empty());
}

}  // namespace
}  // namespace kv218

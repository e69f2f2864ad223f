// The Windows side of replacing a file as its owner set it up: a file made read-only is left
// as it is, and a temporary file that a killed save left behind goes with the next save while
// one a save still holds open, or one made moments ago, stays.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ground/platform.h"
#include "ground/utf8_path.h"
#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

namespace fs = std::filesystem;

class ReplacementOnWindows : public ::testing::Test {
 protected:
  void TearDown() override {
    // A read-only file would keep the folder from being removed.
    for (const auto& entry : fs::directory_iterator(folder)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }
  std::string Read(const fs::path& path) const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(Utf8FromPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // A file whose last write lies minutes back.
  void WriteAged(const fs::path& path, ULONGLONG minutesAgo) const {
    std::ofstream(path, std::ios::binary) << "half a save";
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER when{};
    when.LowPart = now.dwLowDateTime;
    when.HighPart = now.dwHighDateTime;
    when.QuadPart -= minutesAgo * 60ULL * 10'000'000ULL;
    const FILETIME aged{when.LowPart, when.HighPart};
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, nullptr, nullptr, &aged);
    CloseHandle(file);
  }

  const testing::TempFolder temp{"kv218-replace"};
  const fs::path folder = temp.path();
};

TEST_F(ReplacementOnWindows, LeavesAReadOnlyFileAsItIs) {
  const fs::path target = folder / "kv218tool.INI";
  std::ofstream(target, std::ios::binary) << "[INDEX]\r\nTYPE=1\r\n";
  ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
  ReplacementFile file(Utf8FromPath(target));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_TRUE(file.TargetRefused());
  EXPECT_EQ(file.Error(), "the file is read-only");
  EXPECT_FALSE(file.Commit());
  EXPECT_EQ(Read(target), "[INDEX]\r\nTYPE=1\r\n");
  EXPECT_EQ(Names(), std::vector<std::string>{"kv218tool.INI"});
}

TEST_F(ReplacementOnWindows, RemovesOnlyWhatAKilledSaveLeft) {
  const fs::path target = folder / "kv218tool.INI";
  std::ofstream(target, std::ios::binary) << "old";
  WriteAged(folder / "kv218tool.INI.4242-0-17.tmp", 5);  // a save that died long ago
  WriteAged(folder / "kv218tool.INI.4242-1-18.tmp", 0);  // one that may be moving it now
  WriteAged(folder / "kv218tool.INI.4343-0-19.tmp", 5);  // one still held open
  WriteAged(folder / "kv218tool.INI.backup.tmp", 5);     // not one of ours
  const HANDLE held = CreateFileW((folder / "kv218tool.INI.4343-0-19.tmp").c_str(), GENERIC_WRITE,
                                  0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  {
    ReplacementFile file(Utf8FromPath(target));
    ASSERT_TRUE(file.Write("new"));
    ASSERT_TRUE(file.Commit());
  }
  CloseHandle(held);
  EXPECT_EQ(Read(target), "new");
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"kv218tool.INI", "kv218tool.INI.4242-1-18.tmp",
                                      "kv218tool.INI.4343-0-19.tmp", "kv218tool.INI.backup.tmp"}));
}

}  // namespace
}  // namespace kv218

// The settings file as its owner set it up: a symbolic link is written through (the file it
// points to replaced, the link kept), a file its user may not write is left as it is with the
// reason in the message, and a temporary file that a killed save left behind goes with the
// next save while one of a save still running stays.

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ground/platform.h"
#include "settings/settings.h"
#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::TempFolder;

std::vector<std::string> NamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

Settings WithType(int type) {
  Settings settings;
  settings.Type = type;
  return settings;
}

struct LinkCase {
  const char* name;
  // Sets the links up in the folder; returns the file they end at.
  std::function<fs::path(const fs::path& folder)> setUp;
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class SymbolicLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SymbolicLink, IsWrittenThroughAndStays) {
  TempFolder dir;
  fs::create_directory(dir.path() / "shared");
  const fs::path end = GetParam().setUp(dir.path());
  const fs::path link = dir.path() / "kv218tool.INI";
  const fs::path pointsTo = fs::read_symlink(link);
  const bool existed = fs::exists(end);
  const auto namesBefore = NamesIn(dir.path());
  const auto sharedBefore = NamesIn(dir.path() / "shared");

  ASSERT_EQ(WriteSettings(link.string(), WithType(2)), std::nullopt);
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), pointsTo);
  EXPECT_THAT(TempFolder::Read(end.string()), HasSubstr("TYPE=2\r\n"));
  if (existed) {
    EXPECT_THAT(TempFolder::Read(end.string()), HasSubstr("; the owner's comment"));
  }
  EXPECT_EQ(ReadSettings(link.string()).Type, 2);
  // Nothing else appeared: no temporary file left, no regular file in place of a link.
  EXPECT_EQ(NamesIn(dir.path()), namesBefore);
  auto shared = sharedBefore;
  if (!existed && end.parent_path() == dir.path() / "shared") {
    shared.push_back(end.filename().string());
    std::sort(shared.begin(), shared.end());
  }
  EXPECT_EQ(NamesIn(dir.path() / "shared"), shared);
}

constexpr char kOwnersText[] = "; the owner's comment\r\n[INDEX]\r\nTYPE=0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Links, SymbolicLink,
    ::testing::Values(LinkCase{"relative, beside it",
                               [](const fs::path& folder) {
                                 std::ofstream(folder / "real.INI", std::ios::binary)
                                     << kOwnersText;
                                 fs::create_symlink("real.INI", folder / "kv218tool.INI");
                                 return folder / "real.INI";
                               }},
                      LinkCase{"absolute, into another folder",
                               [](const fs::path& folder) {
                                 std::ofstream(folder / "shared" / "line3.INI", std::ios::binary)
                                     << kOwnersText;
                                 fs::create_symlink(folder / "shared" / "line3.INI",
                                                    folder / "kv218tool.INI");
                                 return folder / "shared" / "line3.INI";
                               }},
                      LinkCase{"a link to a link",
                               [](const fs::path& folder) {
                                 std::ofstream(folder / "shared" / "real.INI", std::ios::binary)
                                     << kOwnersText;
                                 fs::create_symlink("real.INI", folder / "shared" / "current.INI");
                                 fs::create_symlink("shared/current.INI", folder / "kv218tool.INI");
                                 return folder / "shared" / "real.INI";
                               }},
                      LinkCase{"to a file not made yet", [](const fs::path& folder) {
                                 fs::create_symlink("shared/new.INI", folder / "kv218tool.INI");
                                 return folder / "shared" / "new.INI";
                               }}));

// Runs body as a user who is not the administrator: in this process when it already is one,
// otherwise in a child that has given its rights up (mode bits do not stop the administrator).
// body's text comes back; nothing when no such user could be had.
std::optional<std::string> AsOrdinaryUser(const std::function<std::string()>& body) {
  if (geteuid() != 0) return body();
  int result[2];
  if (pipe(result) != 0) return std::nullopt;
  const pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    close(result[0]);
    constexpr uid_t kNobody = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
    const std::string text = body();
    _exit(write(result[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 3);
  }
  close(result[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(result[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(result[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return text;
}

// A settings file made read-only is left as it is, whether the folder takes a temporary file
// (which could otherwise be renamed over it) or not (where it would be written in place).
TEST(ReadOnlySettings, AreLeftAsTheyAreAndTheMessageSaysWhy) {
  for (const bool folderWritable : {true, false}) {
    TempFolder dir;
    const std::string path = dir.Write("kv218tool.INI", kOwnersText);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const fs::perms readAndEnter = fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(dir.path(), folderWritable ? fs::perms::all : readAndEnter);
    const auto error = AsOrdinaryUser([&] {
      const auto written = WriteSettings(path, WithType(3));
      return written ? *written : std::string("written");
    });
    fs::permissions(dir.path(), fs::perms::owner_all);
    if (!error) GTEST_SKIP() << "no user without the administrator's rights to run this as";
    EXPECT_EQ(*error, "Unable to write to " + path + ": " + std::strerror(EACCES))
        << (folderWritable ? "writable folder" : "read-only folder");
    EXPECT_EQ(TempFolder::Read(path), kOwnersText);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"kv218tool.INI"});
  }
}

// A save killed between making its temporary file and renaming it leaves that file behind;
// the next save takes it away. A save still running keeps its own.
TEST(StaleTemporaries, GoWithTheNextSaveWhileALiveOneStays) {
  TempFolder dir;
  const std::string path = dir.Write("kv218tool.INI", kOwnersText);
  const pid_t killed = fork();
  ASSERT_GE(killed, 0);
  if (killed == 0) {
    ReplacementFile file(path);
    _exit(file.IsOpen() && file.Write("[INDEX]\r\nTYPE=1\r\n") ? 0 : 1);  // no Commit, no cleanup
  }
  int status = 0;
  ASSERT_EQ(waitpid(killed, &status, 0), killed);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(NamesIn(dir.path()).size(), 2u) << "the killed save's temporary file";

  ReplacementFile live(path);
  ASSERT_TRUE(live.IsOpen());
  ASSERT_TRUE(live.Write("[INDEX]\r\nTYPE=2\r\n"));
  ASSERT_EQ(WriteSettings(path, WithType(3)), std::nullopt);
  EXPECT_EQ(NamesIn(dir.path()).size(), 2u) << "the live save's temporary file stays";
  EXPECT_EQ(ReadSettings(path).Type, 3);
  ASSERT_TRUE(live.Commit());
  EXPECT_EQ(ReadSettings(path).Type, 2);
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"kv218tool.INI"});
}

}  // namespace
}  // namespace kv218

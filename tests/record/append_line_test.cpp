// Appending whole lines to a record file shared by threads and processes, and the failures
// that must come back as a message rather than hang or throw.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "record/record_platform.h"
#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

using ::testing::HasSubstr;

constexpr int kLinesPerWriter = 150;

// Line n of writer w: its name, its number, and a body long enough (up to about 6 KB) that a
// write split into pieces would show.
std::string LineOf(int writer, int n) {
  const std::size_t body = 200 + static_cast<std::size_t>((n * 977 + writer * 131) % 6000);
  return "w" + std::to_string(writer) + " " + std::to_string(n) + " " +
         std::string(body, static_cast<char>('a' + writer)) + "\n";
}

void WriteLines(const std::string& path, int writer) {
  for (int n = 0; n < kLinesPerWriter; ++n) {
    const auto error = AppendWholeLine(path, LineOf(writer, n));
    if (error) ADD_FAILURE() << *error;
  }
}

TEST(AppendWholeLine, ThreadsAndAnotherProcessNeverSplitALine) {
  testing::TempFolder dir;
  const std::string path = dir.File("runs.jsonl");
  constexpr int kThreads = 3;
  const int childWriter = kThreads;

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    for (int n = 0; n < kLinesPerWriter; ++n) {
      if (AppendWholeLine(path, LineOf(childWriter, n))) _exit(1);
    }
    _exit(0);
  }
  std::vector<std::thread> threads;
  for (int w = 0; w < kThreads; ++w) threads.emplace_back(WriteLines, path, w);
  for (auto& t : threads) t.join();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // Every line is exactly one that was written, each once, each writer's in its own order.
  std::istringstream lines(testing::TempFolder::Read(path));
  std::map<int, int> nextOf;
  std::string line;
  int total = 0;
  while (std::getline(lines, line)) {
    int writer = -1, n = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "w%d %d", &writer, &n), 2) << line.substr(0, 40);
    ASSERT_EQ(line + "\n", LineOf(writer, n)) << "writer " << writer << " line " << n;
    EXPECT_EQ(n, nextOf[writer]++);
    ++total;
  }
  EXPECT_EQ(total, (kThreads + 1) * kLinesPerWriter);
}

TEST(AppendWholeLine, AddsToWhatTheFileHeld) {
  testing::TempFolder dir;
  const std::string path = dir.Write("runs.jsonl", "{\"earlier\":1}\n");
  EXPECT_EQ(AppendWholeLine(path, "{\"later\":2}\n"), std::nullopt);
  EXPECT_EQ(testing::TempFolder::Read(path), "{\"earlier\":1}\n{\"later\":2}\n");
}

// A file that ends inside a line (a writer that died, a disk that filled under another
// program): the next line starts on a line of its own, so it reads whole.
TEST(AppendWholeLine, StartsOnALineOfItsOwnAfterALineCutShort) {
  const struct {
    std::string before;
    std::string after;
  } cases[] = {
      {"", "{\"next\":1}\n"},
      {"{\"whole\":0}\n", "{\"whole\":0}\n{\"next\":1}\n"},
      {"{\"cut\":", "{\"cut\":\n{\"next\":1}\n"},
  };
  for (const auto& c : cases) {
    testing::TempFolder dir;
    const std::string path = dir.Write("runs.jsonl", c.before);
    EXPECT_EQ(AppendWholeLine(path, "{\"next\":1}\n"), std::nullopt);
    EXPECT_EQ(testing::TempFolder::Read(path), c.after) << c.before;
  }
}

// A full disk, made small by the file size limit (SIGXFSZ ignored, so the kernel writes what
// fits and fails the rest, as on a file system with no room): whatever part of the line fits,
// none of it stays, and the next line, once there is room, is whole and on its own line.
TEST(AppendWholeLine, ALineThatDoesNotFitIsTakenBackWhole) {
  const std::string first = "{\"run\":1}\n";
  const std::string line = "{\"run\":2,\"hex_file\":\"" + std::string(200, 'x') + "\"}\n";
  const std::string next = "{\"run\":3}\n";
  for (const std::size_t fits : {std::size_t{0}, std::size_t{10}, line.size() - 1}) {
    testing::TempFolder dir;
    const std::string path = dir.Write("runs.jsonl", first);
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    // The limit and the signal are the whole process's: a child of its own appends.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(report[0]);
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{};
      getrlimit(RLIMIT_FSIZE, &limit);
      const rlim_t room = limit.rlim_cur;
      limit.rlim_cur = first.size() + fits;
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
      const auto error = AppendWholeLine(path, line);
      const std::string text = error ? *error : std::string("no error");
      if (write(report[1], text.data(), text.size()) < 0) _exit(3);
      limit.rlim_cur = room;
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
      _exit(AppendWholeLine(path, next) ? 1 : 0);
    }
    close(report[1]);
    std::string error;
    char buffer[512];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) {
      error.append(buffer, static_cast<std::size_t>(n));
    }
    close(report[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << fits;
    EXPECT_EQ(WEXITSTATUS(status), 0) << fits;
    EXPECT_THAT(error, HasSubstr("cannot write " + path + ": " + std::strerror(EFBIG))) << fits;
    EXPECT_EQ(testing::TempFolder::Read(path), first + next) << "with " << fits << " bytes room";
  }
}

TEST(AppendWholeLine, ReportsWhatWentWrongInsteadOfHanging) {
  testing::TempFolder dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string message;
  } cases[] = {
      {dir.File("no-folder/runs.jsonl"), "cannot open"},
      {dir.path().string(), "cannot open"},  // a folder
      {fifo, "cannot open"},                 // no reader: the open must not wait for one
  };
  for (const auto& c : cases) {
    const auto error = AppendWholeLine(c.path, "{}\n");
    ASSERT_TRUE(error.has_value()) << c.path;
    EXPECT_THAT(*error, HasSubstr(c.message));
    EXPECT_THAT(*error, HasSubstr(c.path));
  }
}

}  // namespace
}  // namespace kv218

// Appending whole lines to a record file shared by threads and processes, and the failures
// that must come back as a message rather than hang or throw.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ground/record_platform.h"
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

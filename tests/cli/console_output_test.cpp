// The terminal shared by several ports' windows: prefixed whole lines, one progress row per
// port drawn with cursor movement on the error stream only, redrawn only when it changes.
#include "cli/console_output.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "cli/console_window.h"

namespace kv218 {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

class ConsoleOutputTest : public ::testing::Test {
 protected:
  ConsoleOutput::Options Progress() {
    return {.showLog = true, .progress = true, .columns = 80, .refreshEvery = 0ms, .clock = [this] {
              return now;
            }};
  }
  std::vector<std::string> OutLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::ostringstream out, err;
  std::chrono::steady_clock::time_point now{};
};

TEST_F(ConsoleOutputTest, RowsAreDrawnOnlyWhenWhatTheyShowChanges) {
  ConsoleOutput output(out, err, Progress());
  const int row = output.AddRow("");
  output.SetPercent(row, 10);
  const std::size_t once = err.str().size();
  EXPECT_GT(once, 0u);
  output.SetPercent(row, 10);
  output.Refresh();  // same time, same figures
  EXPECT_EQ(err.str().size(), once);
  now += 400ms;  // the elapsed time shows whole seconds: still the same
  output.Refresh();
  EXPECT_EQ(err.str().size(), once);
  now += 700ms;
  output.Refresh();
  EXPECT_GT(err.str().size(), once);
  EXPECT_EQ(out.str(), "");  // never on standard output
}

TEST_F(ConsoleOutputTest, SeveralRowsMoveTheCursorBackOverAllOfThem) {
  ConsoleOutput output(out, err, Progress());
  const int a = output.AddRow("[a] ");
  const int b = output.AddRow("[b] ");
  output.SetPercent(a, 50);
  output.SetPercent(b, 20);
  err.str("");
  output.WriteLine(b, "2. Bulk Erasing ... OK");
  const std::string drawn = err.str();
  // Taken off: to the first of the two rows, cleared; then both drawn again, a first.
  ASSERT_TRUE(drawn.starts_with("\r\x1b[1A\x1b[J\r")) << drawn;
  const std::size_t rowA = drawn.find("[a] [##########");
  const std::size_t rowB = drawn.find("\n[b] [####");
  EXPECT_NE(rowA, std::string::npos);
  EXPECT_NE(rowB, std::string::npos);
  EXPECT_LT(rowA, rowB);
  EXPECT_EQ(out.str(), "[b] 2. Bulk Erasing ... OK\n");

  output.EndRow(a);  // b still runs: both rows stay
  err.str("");
  output.EndRow(b);  // all over: the rows leave
  EXPECT_EQ(err.str(), "\r\x1b[1A\x1b[J");
}

TEST_F(ConsoleOutputTest, WithoutProgressTheErrorStreamCarriesOnlyErrors) {
  ConsoleOutput output(out, err, {.showLog = true, .progress = false});
  const int a = output.AddRow("[a] ");
  output.LineStarted(a, "1. Reading Device ID ...");
  output.SetPercent(a, 40);
  output.Refresh();
  output.WriteLine(a, "1. Reading Device ID ... OK");
  output.WriteError(a, "Cannot open port /dev/ttyUSB9");
  output.EndRow(a);
  EXPECT_EQ(out.str(), "[a] 1. Reading Device ID ... OK\n");
  EXPECT_EQ(err.str(), "[a] Cannot open port /dev/ttyUSB9\n");
}

// A console that cannot process terminal sequences: each row is a line of its own, written when
// a step begins or the gauge reaches another tenth, never taken off or redrawn.
TEST_F(ConsoleOutputTest, PlainRowsAreLinesAtEachStepAndTenthWithoutSequences) {
  ConsoleOutput::Options options = Progress();
  options.sequences = false;
  options.columns = 120;
  options.refreshEvery = 1ms;  // no refresher for plain rows: they would repeat the same line
  ConsoleOutput output(out, err, options);
  const int a = output.AddRow("[a] ");
  output.LineStarted(a, "2. Bulk Erasing ...");
  output.SetPercent(a, 0);
  output.WriteLine(a, "2. Bulk Erasing ... OK");
  output.LineStarted(a, "3. Programming Program Memory ...");
  for (int percent = 0; percent <= 100; percent += 5) {
    output.SetPercent(a, percent);
    now += 1s;
    output.Refresh();
  }
  output.EndRow(a);

  const std::string written = err.str();
  EXPECT_EQ(written.find_first_of("\x1b\r"), std::string::npos) << written;
  std::vector<std::string> rows;
  std::istringstream in(written);
  for (std::string row; std::getline(in, row);) rows.push_back(row);
  // The erase's row, then the programming's at 0 %, 10 % ... 100 %.
  ASSERT_EQ(rows.size(), 12u) << written;
  EXPECT_TRUE(rows[0].starts_with("[a] [                    ]   0%")) << rows[0];
  EXPECT_TRUE(rows[0].ends_with("2. Bulk Erasing")) << rows[0];
  for (std::size_t i = 1; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i]);
    EXPECT_NE(rows[i].find(std::to_string((i - 1) * 10) + "%"), std::string::npos);
    EXPECT_TRUE(rows[i].ends_with("3. Programming Program Memory"));
  }
  EXPECT_EQ(out.str(), "[a] 2. Bulk Erasing ... OK\n");
}

// An output that takes so many bytes and then fails as a pipe without a reader does.
class ClosingBuffer : public std::streambuf {
 public:
  explicit ClosingBuffer(std::size_t room) : room_(room) {}
  std::string taken;
  int refused = 0;  // bytes offered after it failed

 protected:
  int_type overflow(int_type c) override {
    if (taken.size() >= room_) {
      ++refused;
      errno = EPIPE;
      return traits_type::eof();
    }
    taken.push_back(traits_type::to_char_type(c));
    return c;
  }

 private:
  std::size_t room_;
};

// A closed pipe or a full disk under standard output: the run goes on; from the first line
// that failed nothing more is offered to the stream, and what was lost is told.
TEST_F(ConsoleOutputTest, ALostOutputIsCountedFromTheLineThatFailed) {
  const std::string first = "[a] 1. Reading Device ID ... OK\n";
  ClosingBuffer closing(first.size() + 4);  // the second line fails part of the way
  std::ostream closed(&closing);
  ConsoleOutput output(closed, err, {.showLog = true, .progress = false});
  const int a = output.AddRow("[a] ");
  EXPECT_FALSE(output.Loss().failed);
  output.WriteLine(a, "1. Reading Device ID ... OK");
  output.WriteLine(a, "2. Bulk Erasing ... OK");
  const int refused = closing.refused;
  output.WriteLine(a, "3. Programming Program Memory ... OK");
  output.WriteText("[a] succeeded\nExit status 0\n");
  output.WriteError(a, "kv218: run not recorded: no room");
  EXPECT_EQ(closing.refused, refused);  // not offered again
  EXPECT_EQ(closing.taken, first + "[a] ");
  const OutputLoss loss = output.Loss();
  EXPECT_TRUE(loss.failed);
  EXPECT_EQ(loss.lines, 5u);
  EXPECT_EQ(loss.lost, 4u);
  EXPECT_EQ(loss.error, EPIPE);
  EXPECT_EQ(OutputLossText(loss), "standard output failed (" + std::string(std::strerror(EPIPE)) +
                                      "): the last 4 of the log's 5 lines were not written");
  EXPECT_EQ(err.str(), "[a] kv218: run not recorded: no room\n");  // errors still go out
}

// Windows on several threads at once: every line arrives whole, with its own prefix, and
// each port's lines in their own order.
TEST_F(ConsoleOutputTest, LinesOfSeveralThreadsNeverMix) {
  ConsoleOutput output(out, err, Progress());
  constexpr int kPorts = 4;
  constexpr int kLines = 300;
  std::vector<int> rows;
  for (int port = 0; port < kPorts; ++port) {
    rows.push_back(output.AddRow("[p" + std::to_string(port) + "] "));
  }
  std::vector<std::thread> threads;
  for (int port = 0; port < kPorts; ++port) {
    threads.emplace_back([&output, row = rows[static_cast<std::size_t>(port)]] {
      ConsoleWindow window(output, row);
      for (int line = 0; line < kLines; ++line) {
        window.AppendLog("line " + std::to_string(line) + " ...");
        window.SetProgress(line * 100 / kLines);
        window.AppendToLastLine(" OK");
      }
      window.Finish();
    });
  }
  for (auto& thread : threads) thread.join();

  std::vector<int> next(kPorts, 0);
  for (const std::string& line : OutLines()) {
    ASSERT_EQ(line.substr(0, 2), "[p") << line;
    const int port = line[2] - '0';
    ASSERT_TRUE(port >= 0 && port < kPorts) << line;
    auto& expected = next[static_cast<std::size_t>(port)];
    EXPECT_EQ(line, "[p" + std::to_string(port) + "] line " + std::to_string(expected) + " ... OK");
    ++expected;
  }
  EXPECT_THAT(next, ElementsAre(kLines, kLines, kLines, kLines));
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);  // no cursor movement on out
}

}  // namespace
}  // namespace kv218

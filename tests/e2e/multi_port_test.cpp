// kv218 program and store on several programmers at once, end to end: simulated programmers
// in-process (--simulate N, faults per programmer) or kv218-sim processes (--port repeated).
// Each port's lines must be exactly a single run's lines behind its prefix, whatever the
// others do meanwhile.

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "../runs/test_hex.h"
#include "child_process.h"
#include "external_simulator.h"
#include "kv218_command.h"

namespace kv218 {
namespace {

using testing::ChildProcess;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::ExternalSimulator;
using testing::Finished;
using ::testing::HasSubstr;
using testing::Kv218;
using ::testing::MatchesRegex;
using testing::TempFolder;

using Lines = std::vector<std::string>;

// Standard output taken apart: each port's log lines (time stamps as "T"), and the summary.
struct Split {
  std::map<std::string, Lines> ports;
  Lines summary;
  Lines strays;  // lines that belong to neither
};

Split SplitOutput(const std::string& out) {
  Split split;
  std::map<std::string, std::string> texts;
  bool inSummary = false;
  for (const std::string& line : testing::LogLines(out)) {
    if (line == "Summary") inSummary = true;
    if (inSummary) {
      split.summary.push_back(line);
      continue;
    }
    const auto close = line.find("] ");
    if (line.starts_with("[sim") && close != std::string::npos) {
      texts[line.substr(1, close - 1)] += line.substr(close + 2) + "\n";
    } else if (!line.empty()) {
      split.strays.push_back(line);
    }
  }
  for (const auto& [port, text] : texts) split.ports[port] = testing::LogLines(text);
  return split;
}

Lines First(const Lines& lines, std::size_t count, Lines then = {}) {
  Lines first(lines.begin(),
              lines.begin() + static_cast<std::ptrdiff_t>(std::min(count, lines.size())));
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

TEST(SeveralPorts, OneTimesOutOneFailsTheRestSucceedAndNothingMixes) {
  TempFolder dir;
  const std::string file = dir.Write("small.hex", testing::Type0Hex(64, 0x100));
  // What a single port's successful run prints.
  const Finished alone =
      testing::Run(Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--type", "0", file}));
  ASSERT_EQ(alone.exitCode, 0) << alone.err;
  const Lines single = testing::LogLines(alone.out);
  ASSERT_EQ(single.size(), 15u);
  ASSERT_EQ(single.back(), "PROGRAMMING SUCCEEDED. (T)");
  // Ticks of 400 ms: six of them outlast the simulated erase, and the time-out stays short.
  const Finished run = testing::Run(
      Kv218(dir, {"program", "--simulate", "4", "--sim-baud", "max", "--tick-ms", "400", "--type",
                  "0", "--fault", "2:silent-at=RI", "--fault", "3:corrupt-readback", file}));
  EXPECT_EQ(run.exitCode, 3) << run.err;  // the time-out outranks the failure
  // Standard error: what to do next, for each board that did not pass, in either order.
  EXPECT_THAT(
      testing::LogLines(run.err),
      ::testing::UnorderedElementsAre("[sim2] kv218: next step: no byte from the programmer: check "
                                      "the programmer's power and cable, then try again",
                                      "[sim3] kv218: next step: re-seat the board and program it "
                                      "again; if it fails twice, set it aside"));

  const Split split = SplitOutput(run.out);
  EXPECT_THAT(split.strays, ElementsAre());
  ASSERT_EQ(split.ports.size(), 4u) << run.out;
  EXPECT_THAT(split.ports.at("sim1"), ElementsAreArray(single));
  EXPECT_THAT(split.ports.at("sim4"), ElementsAreArray(single));
  EXPECT_THAT(
      split.ports.at("sim2"),
      ElementsAreArray(First(single, 5,
                             {"1. Reading Device ID ...", "TimeOut !! No response with target !!",
                              "PROGRAMMING FAILED. (T)"})));
  const Lines& failed = split.ports.at("sim3");
  ASSERT_EQ(failed.size(), 12u) << run.out;
  EXPECT_EQ(First(failed, 9), First(single, 9));
  EXPECT_THAT(failed[9], MatchesRegex("5\\. Verify Program Memory \\.\\.\\. NG \\( std : "
                                      "0x[0-9A-F]{4} , now : 0x[0-9A-F]{4} \\)"));
  EXPECT_THAT(failed[10], ::testing::StartsWith("First difference at 0x"));
  EXPECT_EQ(failed[11], "PROGRAMMING FAILED. (T)");

  ASSERT_EQ(split.summary.size(), 6u) << run.out;
  EXPECT_THAT(split.summary[1], MatchesRegex("  sim1  succeeded +[0-9]+\\.[0-9] s"));
  EXPECT_THAT(split.summary[2], MatchesRegex("  sim2  time-out +[0-9]+\\.[0-9] s"));
  EXPECT_THAT(split.summary[3], MatchesRegex("  sim3  failed +[0-9]+\\.[0-9] s"));
  EXPECT_THAT(split.summary[4], MatchesRegex("  sim4  succeeded +[0-9]+\\.[0-9] s"));
  EXPECT_EQ(split.summary[5], "Exit status 3: time-out on sim2");
}

TEST(SeveralPorts, StoreInEveryProgrammersFlash) {
  TempFolder dir;
  const Finished run = testing::Run(
      Kv218(dir, {"store", "--simulate", "--simulate", "--sim-baud", "max", "--type", "3",
                  "--fault", "2:erase-counter=100000", KV218_EXAMPLES "/eco_mode.hex"}));
  EXPECT_EQ(run.exitCode, 1) << run.err;
  const Split split = SplitOutput(run.out);
  ASSERT_EQ(split.ports.size(), 2u) << run.out;
  EXPECT_EQ(split.ports.at("sim1").back(), "PROGRAMMING SUCCEEDED. (T)");
  EXPECT_EQ(split.ports.at("sim2").back(), "Please contact with Velkor to repair it !!");
  EXPECT_EQ(split.summary.back(), "Exit status 1: failed on sim2");
}

TEST(SeveralPorts, APortThatDoesNotOpenOutranksTheOthers) {
  TempFolder dir;
  ExternalSimulator sim(dir, {"--baud", "max"});
  ASSERT_TRUE(sim.ready);
  const Finished run =
      testing::Run(Kv218(dir, {"program", "--port", sim.link, "--port", "/nonexistent/ttyX",
                               "--type", "3", KV218_EXAMPLES "/eco_mode.hex"}));
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_EQ(run.err, "[/nonexistent/ttyX] Cannot open port /nonexistent/ttyX: no such device\n");
  EXPECT_THAT(run.out, HasSubstr("] PROGRAMMING SUCCEEDED. ("));
  EXPECT_THAT(run.out, HasSubstr("port not opened"));
  EXPECT_THAT(run.out, HasSubstr("Exit status 4: port not opened on /nonexistent/ttyX\n"));
}

// Ctrl-C in the middle: every programmer hears EndRun, the summary says interrupted.
TEST(SeveralPorts, CtrlCEndsEveryRunWithEndRun) {
  TempFolder dir;
  // Paced at 115,200 baud: the full example takes a while.
  auto first = std::make_unique<ExternalSimulator>(dir, std::vector<std::string>{});
  ASSERT_TRUE(first->ready);
  TempFolder other;
  auto second = std::make_unique<ExternalSimulator>(other, std::vector<std::string>{});
  ASSERT_TRUE(second->ready);
  ChildProcess kv218(Kv218(dir, {"program", "--port", first->link, "--port", second->link, "--type",
                                 "0", KV218_EXAMPLES "/tk_series.hex"}));
  ASSERT_TRUE(kv218.WaitForOutput([](const std::string& out) {
    return out.find("2. Bulk Erasing ... OK\n") != out.rfind("2. Bulk Erasing ... OK\n");
  }));
  kv218.Signal(SIGINT);
  const Finished run = kv218.Wait();
  EXPECT_EQ(run.exitCode, 130);
  EXPECT_THAT(run.out, HasSubstr("Exit status 130: interrupted on "));
  for (const auto* sim : {first.get(), second.get()}) {
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sim->LastHostFrame() != "1F 4D 45" && std::chrono::steady_clock::now() < guard) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(sim->LastHostFrame(), "1F 4D 45");
  }
}

TEST(SeveralPorts, UsageErrors) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::string file = KV218_EXAMPLES "/eco_mode.hex";
  const Case cases[] = {
      {{"program", "--simulate", "2", "--fault", "3:corrupt-readback", file}, "there are 2"},
      {{"program", "--port", "/dev/a", "--port", "/dev/a", file}, "given twice"},
      {{"program", "--port", "/dev/a", "--simulate", "2", file}, "do not mix"},
      {{"info", "--simulate", "2"}, "more than one port"},
  };
  for (const Case& c : cases) {
    TempFolder dir;
    const Finished run = testing::Run(Kv218(dir, c.args));
    EXPECT_EQ(run.exitCode, 2) << c.message;
    EXPECT_THAT(run.err, HasSubstr(c.message));
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace kv218

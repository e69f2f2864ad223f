// kv218 when what it writes to goes away mid-run: the terminal closes (SIGHUP), the reader of
// its standard output leaves ("| head -3"), or standard output cannot be written at all
// (/dev/full). The run ends as Ctrl-C ends it, or goes on to its end and its record, and what
// was lost of the log is told on standard error.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../runs/test_hex.h"
#include "child_process.h"
#include "external_simulator.h"
#include "kv218_command.h"
#include "record_lines.h"

namespace kv218 {
namespace {

using nlohmann::json;
using testing::ChildProcess;
using testing::ChildSetup;
using testing::ExternalSimulator;
using testing::Finished;
using ::testing::HasSubstr;
using testing::Kv218;
using testing::LogLines;
using testing::RecordLines;
using testing::TempFolder;

const std::string kExamples = KV218_EXAMPLES;

std::string Reason(int error) { return std::string("(") + std::strerror(error) + ")"; }

ChildSetup OutputTo(ChildSetup::Output output, std::string file = {}) {
  ChildSetup setup;
  setup.output = output;
  setup.outputFile = std::move(file);
  return setup;
}

TEST(Kv218ClosedOutput, AClosedTerminalEndsTheRunAsCtrlCDoes) {
  TempFolder dir;
  ExternalSimulator sim(dir, {});  // paced at 115200 baud: the run takes a while
  ASSERT_TRUE(sim.ready);
  const std::string record = (dir.path() / "runs.jsonl").string();
  ChildProcess kv218(Kv218(dir, {"program", "--port", sim.link, "--type", "0", "--record", record,
                                 kExamples + "/tk_series.hex"}),
                     OutputTo(ChildSetup::Output::Terminal));
  ASSERT_TRUE(kv218.WaitForOutput(
      [](const std::string& out) { return out.find("2. Bulk Erasing ... OK\n") != out.npos; }));
  kv218.CloseOutput();  // the terminal window is closed: its session hangs up
  const Finished run = kv218.Wait();
  EXPECT_EQ(run.exitCode, 130) << run.err;
  EXPECT_THAT(run.err, HasSubstr("kv218: interrupted\n"));
  // The held step line could not reach the terminal any more.
  EXPECT_THAT(run.err, HasSubstr("kv218: standard output failed " + Reason(EIO)));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "kv218tool.INI"));
  const auto lines = RecordLines(record);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["result"], "interrupted");
  EXPECT_EQ(lines[0]["failed_step"], "3. Programming Program Memory");
  // The programmer heard the end of the run: wait (with a guard) until its trace shows it.
  const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (sim.LastHostFrame() != "1F 4D 45" && std::chrono::steady_clock::now() < guard) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(sim.LastHostFrame(), "1F 4D 45");
}

// "kv218 program ... | head -3": the reader leaves after the loader's lines; the run goes on
// to its end (paced at 115200 baud it takes seconds after them) and is recorded.
TEST(Kv218ClosedOutput, AReaderThatLeavesDoesNotEndTheRun) {
  TempFolder dir;
  const std::string record = (dir.path() / "runs.jsonl").string();
  ChildProcess kv218(Kv218(dir, {"program", "--simulate", "--type", "2", "--record", record,
                                 kExamples + "/cradle_set.hex"}));
  ASSERT_TRUE(kv218.WaitForOutput(
      [](const std::string& out) { return std::count(out.begin(), out.end(), '\n') >= 3; }));
  kv218.CloseOutput();
  const Finished run = kv218.Wait();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("kv218: standard output failed " + Reason(EPIPE) + ": the last "));
  const auto lines = RecordLines(record);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["result"], "succeeded");
}

TEST(Kv218ClosedOutput, AnOutputWithNoRoomLosesOnlyTheLog) {
  TempFolder dir;
  const std::string record = (dir.path() / "runs.jsonl").string();
  const Finished run =
      testing::Run(Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--type", "3",
                               "--record", record, kExamples + "/eco_mode.hex"}),
                   OutputTo(ChildSetup::Output::File, "/dev/full"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const Finished shown = testing::Run(Kv218(dir, {"program", "--simulate", "--sim-baud", "max",
                                                  "--type", "3", kExamples + "/eco_mode.hex"}));
  const std::size_t lines = LogLines(shown.out).size();
  EXPECT_THAT(run.err, HasSubstr("kv218: standard output failed " + Reason(ENOSPC) + ": the last " +
                                 std::to_string(lines) + " of the log's " + std::to_string(lines) +
                                 " lines were not written\n"));
  const auto recorded = RecordLines(record);
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0]["result"], "succeeded");
}

}  // namespace
}  // namespace kv218

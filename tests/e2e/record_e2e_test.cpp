// kv218 --record end to end: the real executable appends its record lines, also two
// processes at once into one file, and a record that cannot be written changes nothing of
// the run.

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../port/pty_pair.h"
#include "../runs/test_hex.h"
#include "child_process.h"
#include "external_simulator.h"
#include "kv218_command.h"
#include "record_lines.h"

namespace kv218 {
namespace {

using nlohmann::json;
using testing::ChildProcess;
using testing::Finished;
using ::testing::HasSubstr;
using testing::Kv218;
using testing::LogLines;
using testing::RecordLines;
using testing::TempFolder;

const std::string kExamples = KV218_EXAMPLES;

TEST(Kv218Record, TwoProcessesAppendTheirRunsToOneFile) {
  TempFolder dir;
  const std::string record = (dir.path() / "runs.jsonl").string();
  const std::string good = kExamples + "/mvrx_series.hex";
  const std::string bad = kExamples + "/eco_mode.hex";
  ChildProcess passing(Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--type", "1",
                                   "--record", record, good}));
  ChildProcess failing(Kv218(dir, {"store", "--simulate", "--sim-baud", "max", "--type", "3",
                                   "--fault", "corrupt-flash-readback", "--record", record, bad}));
  const Finished passed = passing.Wait();
  const Finished failed = failing.Wait();
  EXPECT_EQ(passed.exitCode, 0) << passed.err;
  EXPECT_EQ(failed.exitCode, 1) << failed.err;
  // Standard output carries the log alone.
  EXPECT_EQ(LogLines(passed.out).back(), "PROGRAMMING SUCCEEDED. (T)");

  const auto lines = RecordLines(record);
  ASSERT_EQ(lines.size(), 2u);
  const json& program = lines[0]["operation"] == "program" ? lines[0] : lines[1];
  const json& store = lines[0]["operation"] == "store" ? lines[0] : lines[1];
  EXPECT_EQ(program["result"], "succeeded");
  EXPECT_EQ(program["hex_file"], good);
  EXPECT_EQ(program["target_type"], 1);
  EXPECT_EQ(program["device_identity"], "0x1C , 0x24");
  EXPECT_EQ(program["version"], "1.85.11");
  EXPECT_EQ(store["result"], "failed");
  EXPECT_EQ(store["failed_step"], "3. Verify Flash Memory");
  EXPECT_THAT(
      store["failed_line"].get<std::string>(),
      ::testing::MatchesRegex("3\\. Verify Flash Memory \\.\\.\\. NG \\( std : 0x[0-9a-f]{4} , "
                              "now : 0x[0-9a-f]{4} \\)"));
  EXPECT_EQ(store["erase_counter"], 0);
  EXPECT_THAT(store["port"].get<std::string>(), ::testing::StartsWith("/dev/pts/"));
}

TEST(Kv218Record, ATimeOutAndAnInterruptionAreRecordedWithTheirStep) {
  TempFolder dir;
  const std::string record = (dir.path() / "runs.jsonl").string();
  // Ticks of 100 ms keep the six silent ticks short.
  const Finished silent = testing::Run(
      Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--tick-ms", "100", "--type", "0",
                  "--fault", "silent-at=RI", "--record", record, kExamples + "/tk_series.hex"}));
  EXPECT_EQ(silent.exitCode, 3) << silent.err;

  // Paced at 115,200 baud the full image takes a while: Ctrl-C lands in the write.
  ChildProcess run(Kv218(dir, {"program", "--simulate", "--type", "0", "--record", record,
                               kExamples + "/tk_series.hex"}));
  ASSERT_TRUE(run.WaitForOutput(
      [](const std::string& out) { return out.find("2. Bulk Erasing ... OK\n") != out.npos; }));
  run.Signal(SIGINT);
  EXPECT_EQ(run.Wait().exitCode, 130);

  const auto lines = RecordLines(record);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["result"], "time-out");
  EXPECT_EQ(lines[0]["failed_step"], "1. Reading Device ID");
  EXPECT_EQ(lines[0]["failed_line"], "1. Reading Device ID ...");
  EXPECT_GE(lines[0]["duration_s"].get<double>(), 0.6);
  EXPECT_EQ(lines[1]["result"], "interrupted");
  EXPECT_EQ(lines[1]["failed_step"], "3. Programming Program Memory");
}

TEST(Kv218Record, AnUnwritableRecordLeavesTheRunsResultAndLog) {
  TempFolder dir;
  const std::string file = kExamples + "/eco_mode.hex";
  const auto args = [&](std::vector<std::string> extra) {
    std::vector<std::string> a = {"program", "--simulate", "--sim-baud", "max", "--type", "3"};
    a.insert(a.end(), extra.begin(), extra.end());
    a.push_back(file);
    return Kv218(dir, a);
  };
  const Finished plain = testing::Run(args({}));
  const std::string unwritable = (dir.path() / "missing" / "runs.jsonl").string();
  const Finished recorded = testing::Run(args({"--record", unwritable}));
  EXPECT_EQ(recorded.exitCode, 0);
  EXPECT_EQ(LogLines(recorded.out), LogLines(plain.out));
  EXPECT_THAT(recorded.err, HasSubstr("kv218: run not recorded: cannot open " + unwritable));
}

// read --out to a path that cannot take the file: refused before the first frame when that
// is known at once (exit 2), and when the file cannot be put in place at the end the read
// fails in its closing line, its record and its exit status alike.
TEST(Kv218Record, AReadWhoseOutputCannotBeWrittenFailsAndSaysSo) {
  TempFolder dir;
  const std::string record = (dir.path() / "runs.jsonl").string();
  {
    testing::ExternalSimulator sim(dir, {"--baud", "max"});
    ASSERT_TRUE(sim.ready);
    for (const std::string& out :
         {(dir.path() / "missing" / "read.hex").string(), dir.path().string()}) {
      const Finished refused = testing::Run(Kv218(
          dir, {"read", "--port", sim.link, "--type", "1", "--record", record, "--out", out}));
      EXPECT_EQ(refused.exitCode, 2) << out;
      EXPECT_THAT(refused.err, HasSubstr("kv218 read: Unable to write to " + out + ": "));
    }
    EXPECT_THAT(sim.TraceText(), ::testing::Not(HasSubstr("host>")));
  }
  // A folder put in the file's place while the target is read (paced at 115,200 baud, the
  // read takes seconds): the rename at the end fails.
  const std::string out = (dir.path() / "read.hex").string();
  ChildProcess reading(
      Kv218(dir, {"read", "--simulate", "--type", "2", "--record", record, "--out", out}));
  ASSERT_TRUE(reading.WaitForOutput([](const std::string& text) {
    return text.find("1. Reading Device ID ... OK") != text.npos;
  }));
  std::filesystem::create_directories(std::filesystem::path(out) / "taken");
  const Finished cut = reading.Wait();
  EXPECT_EQ(cut.exitCode, 1) << cut.err;
  const auto log = LogLines(cut.out);
  ASSERT_GE(log.size(), 2u);
  EXPECT_THAT(log[log.size() - 2], ::testing::StartsWith("<<ERROR>> Unable to write to " + out));
  EXPECT_EQ(log.back(), "READ FAILED. (T)");
  EXPECT_TRUE(std::filesystem::is_directory(out));

  const auto lines = RecordLines(record);
  ASSERT_EQ(lines.size(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(lines[i]["operation"], "read");
    EXPECT_EQ(lines[i]["result"], "failed");
    EXPECT_THAT(lines[i]["failed_line"].get<std::string>(),
                ::testing::StartsWith("Unable to write to "));
  }
  EXPECT_EQ(lines[2]["result"], "failed");
  EXPECT_TRUE(lines[2]["failed_step"].is_null());
  EXPECT_THAT(lines[2]["failed_line"].get<std::string>(),
              ::testing::StartsWith("<<ERROR>> Unable to write to " + out + ": "));
}

// The record on a disk with no room left (a file size limit: the kernel writes what fits,
// then fails): no part of the line stays, and the next run, with room again, adds a line that
// reads whole.
TEST(Kv218Record, AFullDiskLeavesNoPartOfALine) {
  TempFolder dir;
  const std::string record = (dir.path() / "runs.jsonl").string();
  const std::string earlier = "{\"operation\":\"program\",\"result\":\"succeeded\",\"note\":\"" +
                              std::string(300, 'x') + "\"}\n";
  dir.Write("runs.jsonl", earlier);
  const auto args = Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--type", "3",
                                "--record", record, kExamples + "/eco_mode.hex"});
  testing::ChildSetup full;
  full.fileSizeLimit = static_cast<long long>(earlier.size()) + 100;  // the settings file fits
  const Finished cut = testing::Run(args, full);
  EXPECT_EQ(cut.exitCode, 0) << cut.err;
  EXPECT_THAT(cut.err, ::testing::MatchesRegex(
                           ".*kv218: run not recorded: cannot write .*runs\\.jsonl: File too "
                           "large after 100 of [0-9]+ bytes, which were taken back\n.*"));
  std::ifstream kept(record, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), earlier);

  const Finished next = testing::Run(args);
  EXPECT_EQ(next.exitCode, 0) << next.err;
  const auto lines = RecordLines(record);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]["operation"], "program");
  EXPECT_EQ(lines[1]["target_type"], 3);
}

TEST(Kv218Record, MonitorRecordsAndTalliesStandaloneRuns) {
  TempFolder dir;
  const std::string record = (dir.path() / "standalone.jsonl").string();
  // The record file named in the settings, as the window takes it.
  std::ofstream(dir.path() / "kv218tool.INI") << "[RECORD]\r\nFILE=" << record << "\r\n";
  ChildProcess monitor(
      Kv218(dir, {"monitor", "--simulate", "--sim-baud", "max", "--sim-standalone"}));
  ASSERT_TRUE(monitor.WaitForOutput(
      [](const std::string& out) { return out.find("PROGRAMMING ") != out.npos; }));
  monitor.Signal(SIGINT);
  const Finished run = monitor.Wait();
  EXPECT_EQ(run.exitCode, 0);
  // The simulated programmer's flash holds no image: its run fails.
  EXPECT_THAT(run.err, HasSubstr("Stand-alone runs: 0 passed, 1 failed\n"));
  const auto lines = RecordLines(record);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["operation"], "standalone");
  EXPECT_EQ(lines[0]["result"], "failed");
  EXPECT_TRUE(lines[0]["start"].is_string());
}

// The programmer opens a stand-alone run and never closes it (reset in its middle), and
// monitor is stopped: the run is recorded unfinished and counted. The test plays the
// programmer on a pseudo-terminal.
TEST(Kv218Record, MonitorStoppedMidRunRecordsItUnfinished) {
  TempFolder dir;
  testing::PtyPair line;
  ASSERT_TRUE(line.Ok());
  const std::string record = (dir.path() / "standalone.jsonl").string();
  ChildProcess monitor(Kv218(dir, {"monitor", "--port", line.SlavePath(), "--record", record}));
  ASSERT_TRUE(monitor.WaitForError(
      [](const std::string& err) { return err.find("Watching the programmer") != err.npos; }));
  ASSERT_TRUE(line.Write({0x1B, 0x53, 0x00, 0x1B, 0x53, 0x01, 0x01}));
  ASSERT_TRUE(monitor.WaitForOutput(
      [](const std::string& out) { return out.find("1. Check Device Ready") != out.npos; }));
  monitor.Signal(SIGINT);
  const Finished run = monitor.Wait();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("Stand-alone runs: 0 passed, 0 failed, 1 unfinished\n"));
  const auto lines = RecordLines(record);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["operation"], "standalone");
  EXPECT_EQ(lines[0]["result"], "unfinished");
  EXPECT_EQ(lines[0]["device_ready"], "01");
  EXPECT_TRUE(lines[0]["code_programmed"].is_null());
}

}  // namespace
}  // namespace kv218

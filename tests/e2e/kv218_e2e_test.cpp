// The kv218 command line end to end: the real executable, its POSIX port and receive thread,
// a pseudo-terminal, and the simulated programmer (in-process with --simulate, or kv218-sim).

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../port/pty_pair.h"
#include "../runs/test_hex.h"
#include "child_process.h"
#include "external_simulator.h"
#include "kv218_command.h"
#include "port/posix_port.h"

namespace kv218 {
namespace {

using testing::ChildProcess;
using ::testing::ElementsAreArray;
using testing::ExternalSimulator;
using testing::Finished;
using ::testing::HasSubstr;
using testing::Kv218;
using testing::LogLines;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::StartsWith;
using testing::TempFolder;

using Lines = std::vector<std::string>;

const std::string kExamples = KV218_EXAMPLES;
const char* const kFiles[] = {"tk_series.hex", "mvrx_series.hex", "cradle_set.hex", "eco_mode.hex"};

std::string Example(int type) { return kExamples + "/" + kFiles[type]; }

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// kv218 with its own settings file and the given arguments.

// The lines after the loader's three, which are checked on the way.
Lines RunLines(const Finished& run, const std::string& file) {
  const Lines lines = LogLines(run.out);
  EXPECT_GE(lines.size(), 3u) << run.out << run.err;
  if (lines.size() < 3) return {};
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], file);
  EXPECT_THAT(lines[2], StartsWith("Loading ... OK"));
  return Lines(lines.begin() + 3, lines.end());
}

const Lines kProgram16 = {"",
                          "PROGRAMMING TARGET ... (T)",
                          "1. Reading Device ID ... OK ( 0x1C , 0x24 )",
                          "2. Bulk Erasing ... OK",
                          "3. Programming Program Memory ... OK",
                          "4. Reading Program Memory ... OK",
                          "5. Verify Program Memory ... OK",
                          "6. Resetting ... OK",
                          "PROGRAMMING SUCCEEDED. (T)"};

const Lines kProgramLines[] = {
    {"", "PROGRAMMING TARGET ... (T)", "1. Reading Device ID ... OK ( 0xBF , 0x2118 )",
     "2. Bulk Erasing ... OK", "3. Programming Program Memory ... OK",
     "4. Reading Program Memory ... OK", "5. Verify Program Memory ... OK",
     "6. Programming Configuration Bits ... OK", "7. Reading Configuration Bits ... OK",
     "8. Verify Configuration Bits ... OK", "9. Resetting ... OK", "PROGRAMMING SUCCEEDED. (T)"},
    kProgram16,
    kProgram16,
    {"", "PROGRAMMING TARGET ... (T)", "1. Aoto Programming Main Memory ... OK",
     "PROGRAMMING SUCCEEDED. (T)"}};

class EachType : public ::testing::TestWithParam<int> {};

TEST_P(EachType, ProgramsATargetFromTheExample) {
  const int type = GetParam();
  TempFolder dir;
  const Finished run = testing::Run(Kv218(dir, {"program", "--simulate", "--sim-baud", "max",
                                                "--type", std::to_string(type), Example(type)}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(RunLines(run, Example(type)), ElementsAreArray(kProgramLines[type]));
  EXPECT_EQ(run.err, "");
}

TEST_P(EachType, StoresTheExampleInTheProgrammersFlash) {
  const int type = GetParam();
  TempFolder dir;
  const Finished run = testing::Run(Kv218(dir, {"store", "--simulate", "--sim-baud", "max",
                                                "--type", std::to_string(type), Example(type)}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  Lines expected = {"",
                    "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): 0",
                    "",
                    "PROGRAMMING FLASH MEMORY ... (T)",
                    "1. Bulk Erasing Flash Memory ... OK",
                    "2. Flash Memory Writting ... OK",
                    "3. Verify Flash Memory ... OK"};
  if (type == 0) {
    expected.push_back("4. Flash Memory Configuation Bits Writting ... OK");
    expected.push_back("5. Vreify Flash Memory Configuation Bits ... OK");
  }
  expected.push_back("PROGRAMMING SUCCEEDED. (T)");
  EXPECT_THAT(RunLines(run, Example(type)), ElementsAreArray(expected));
  EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Kv218, EachType, ::testing::Values(0, 1, 2, 3));

TEST(Kv218, ACorruptedReadBackFails) {
  TempFolder dir;
  // A one-block type-0 image keeps the exchange short.
  const std::string file = dir.Write("small.hex", testing::Type0Hex(64, 0x100));
  const Finished run =
      testing::Run(Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--type", "0",
                               "--fault", "corrupt-readback", file}));
  EXPECT_EQ(run.exitCode, 1);
  const Lines lines = RunLines(run, file);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_THAT(lines[lines.size() - 3],
              MatchesRegex("5\\. Verify Program Memory \\.\\.\\. NG \\( std : 0x[0-9A-F]{4} , now "
                           ": 0x[0-9A-F]{4} \\)"));
  // The fault changes the middle byte of the first word, file address 1.
  EXPECT_THAT(lines[lines.size() - 2],
              MatchesRegex("First difference at 0x0001: file [0-9A-F]{2}, read [0-9A-F]{2} \\(1 "
                           "byte differs\\)"));
  EXPECT_EQ(lines.back(), "PROGRAMMING FAILED. (T)");
}

// Every read-back answer brings half its block, of an image so small that the missing half is
// blank anyway: the sums would agree, yet the run fails on the read-back's own line.
TEST(Kv218, AReadBackWithDataMissingFails) {
  TempFolder dir;
  const struct {
    std::string command, type, fault;
    Lines tail;
  } cases[] = {
      {"program",
       "0",
       "short-reply=RDD",
       {"4. Reading Program Memory ... NG", "PROGRAMMING FAILED. (T)"}},
      {"store",
       "3",
       "short-reply=FRD",
       {"3. Verify Flash Memory ... NG", "PROGRAMMING FAILED. (T)"}},
  };
  for (const auto& c : cases) {
    const std::string file =
        dir.Write("small" + c.type + ".hex", testing::SmallHex(std::stoi(c.type)));
    const Finished run = testing::Run(Kv218(dir, {c.command, "--simulate", "--sim-baud", "max",
                                                  "--type", c.type, "--fault", c.fault, file}));
    EXPECT_EQ(run.exitCode, 1) << c.fault;
    const Lines lines = RunLines(run, file);
    ASSERT_GE(lines.size(), 2u) << c.fault;
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()), c.tail) << c.fault;
  }
}

// A programmer that stops for 150 ms inside every read-back block, as one on a busy line may:
// each block is still taken whole and the run succeeds, where ending it at the 50 ms gap
// would cut every block in two.
TEST(Kv218, AProgrammerThatPausesInsideItsRepliesIsStillProgrammed) {
  TempFolder dir;
  const Finished run =
      testing::Run(Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--type", "0",
                               "--fault", "pause-in-reply", Example(0)}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(RunLines(run, Example(0)), ElementsAreArray(kProgramLines[0]));
}

TEST(Kv218, TheEnduranceLimitFails) {
  TempFolder dir;
  const Finished run =
      testing::Run(Kv218(dir, {"store", "--simulate", "--sim-baud", "max", "--type", "3", "--fault",
                               "erase-counter=100000", Example(3)}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(RunLines(run, Example(3)),
              ElementsAreArray(Lines{"",
                                     "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): "
                                     "100000",
                                     "", "FLASH MEMORY cycling endurance reach llimit !!",
                                     "Please contact with Velkor to repair it !!"}));
}

// The one real-time time-out: six silent ticks of one second each.
TEST(Kv218, ASilentProgrammerTimesOut) {
  TempFolder dir;
  const Finished run =
      testing::Run(Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--type", "1",
                               "--fault", "silent-at=8RI", Example(1)}));
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_THAT(
      RunLines(run, Example(1)),
      ElementsAreArray(Lines{"", "PROGRAMMING TARGET ... (T)", "1. Reading Device ID ...",
                             "TimeOut !! No response with target !!", "PROGRAMMING FAILED. (T)"}));
  EXPECT_THAT(run.err, HasSubstr("no response"));
}

TEST(Kv218, TwoRunsAfterATimeOutBothSucceed) {
  TempFolder dir;
  // The third write block of the programmer's life goes unanswered; ticks of 100 ms keep the
  // time-out short (the simulator erases at once, so no step needs more than a tick or two).
  ExternalSimulator sim(dir, {"--baud", "max", "--erase-ms", "0", "--fault", "silent-at=WDD#3"});
  ASSERT_TRUE(sim.ready);
  const std::string file = dir.Write("three-blocks.hex", testing::Type0Hex(64, 0x1000));
  const auto args =
      Kv218(dir, {"program", "--port", sim.link, "--tick-ms", "100", "--type", "0", file});
  const Finished first = testing::Run(args);
  EXPECT_EQ(first.exitCode, 3) << first.err;
  const Lines firstLines = LogLines(first.out);
  ASSERT_GE(firstLines.size(), 3u);
  EXPECT_EQ(Lines(firstLines.end() - 3, firstLines.end()),
            (Lines{"3. Programming Program Memory ...", "TimeOut !! No response with target !!",
                   "PROGRAMMING FAILED. (T)"}));
  for (int again = 0; again < 2; ++again) {
    const Finished next = testing::Run(args);
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_THAT(RunLines(next, file), ElementsAreArray(kProgramLines[0]));
  }
}

TEST(Kv218, CtrlCEndsARunWithEndRunAndSavesTheSettings) {
  TempFolder dir;
  ExternalSimulator sim(dir, {});  // paced at 115200 baud: the run takes a while
  ASSERT_TRUE(sim.ready);
  ChildProcess kv218(Kv218(dir, {"program", "--port", sim.link, "--type", "0", Example(0)}));
  ASSERT_TRUE(kv218.WaitForOutput(
      [](const std::string& out) { return out.find("2. Bulk Erasing ... OK\n") != out.npos; }));
  kv218.Signal(SIGINT);
  const Finished run = kv218.Wait();
  EXPECT_EQ(run.exitCode, 130);
  EXPECT_THAT(run.err, HasSubstr("interrupted"));
  EXPECT_EQ(LogLines(run.out).back(), "3. Programming Program Memory ...");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "kv218tool.INI"));
  // The programmer heard the end of the run: wait (with a guard) until its trace shows it.
  const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (sim.LastHostFrame() != "1F 4D 45" && std::chrono::steady_clock::now() < guard) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(sim.LastHostFrame(), "1F 4D 45");
}

// Ctrl-C while the programmer erases its flash: the erase is waited for and counted before
// the run ends, so the next store reads a count of one. The Ctrl-C must come before the
// erase's acknowledgement: a test process held up for the whole erase tries again, saying so.
TEST(Kv218, CtrlCDuringTheEraseStillCountsIt) {
  for (int attempt = 1; attempt <= 3; ++attempt) {
    TempFolder dir;
    ExternalSimulator sim(dir, {"--baud", "max", "--erase-ms", "3000"});
    ASSERT_TRUE(sim.ready);
    const auto args = Kv218(dir, {"store", "--port", sim.link, "--type", "3", Example(3)});
    ChildProcess kv218(args);
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (sim.LastHostFrame() != "1F 54 46 45" && std::chrono::steady_clock::now() < guard) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(sim.LastHostFrame(), "1F 54 46 45") << "FlashErase sent";
    kv218.Signal(SIGINT);
    if (sim.TraceText().find("sim<  1F 54 46 45") != std::string::npos) {
      std::cerr << "attempt " << attempt << ": Ctrl-C came after the erase had ended; again\n";
      continue;
    }
    const Finished stopped = kv218.Wait();
    EXPECT_EQ(stopped.exitCode, 130) << stopped.err;
    EXPECT_EQ(LogLines(stopped.out).back(), "1. Bulk Erasing Flash Memory ... OK");
    const std::string trace = sim.TraceText();
    const auto erase = trace.find("host> 1F 54 46 45");
    const auto counter = trace.find("host> 1F 46 57 45 00 00 00 01");
    const auto end = trace.find("host> 1F 4D 45", erase);
    EXPECT_NE(counter, std::string::npos);
    EXPECT_LT(erase, counter);
    EXPECT_LT(counter, end);
    EXPECT_EQ(trace.find("host> 1F 46 57 44"), std::string::npos) << "no write after the close";

    const Finished next = testing::Run(args);
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_THAT(LogLines(next.out),
                ::testing::Contains("<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): 1"));
    return;
  }
  FAIL() << "the Ctrl-C never came during the erase";
}

// SIGHUP (the terminal closed) in the middle of a block transfer: EndRun goes out after the
// programmer answered the block in flight, never right behind it, where a programmer that
// takes in a frame by the silence after it would read EndRun as part of the block.
TEST(Kv218, SighupDuringABlockSendsEndRunAfterTheBlocksReply) {
  TempFolder dir;
  ExternalSimulator sim(dir, {"--program-ms", "500"});  // each block keeps it busy 0.5 s
  ASSERT_TRUE(sim.ready);
  ChildProcess kv218(Kv218(dir, {"program", "--port", sim.link, "--type", "0", Example(0)}));
  const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (sim.LastHostFrame().rfind("1F 57 44 44", 0) != 0 &&
         std::chrono::steady_clock::now() < guard) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(sim.LastHostFrame().rfind("1F 57 44 44", 0), 0u) << "a data block sent";
  kv218.Signal(SIGHUP);
  const Finished stopped = kv218.Wait();
  EXPECT_EQ(stopped.exitCode, 130) << stopped.err;
  EXPECT_EQ(LogLines(stopped.out).back(), "3. Programming Program Memory ...");
  const std::string trace = sim.TraceText();
  const auto end = trace.rfind("host> 1F 4D 45");
  ASSERT_NE(end, std::string::npos) << "EndRun sent";
  const auto lastBlock = trace.rfind("host> 1F 57 44 44", end);
  ASSERT_NE(lastBlock, std::string::npos);
  EXPECT_LT(trace.find("sim<  1F 57 44 44", lastBlock), end) << "the block answered first";
  EXPECT_EQ(trace.find("host> ", lastBlock + 1), end) << "and nothing sent in between";
}

TEST(Kv218, InfoPrintsTheProgrammersNote) {
  TempFolder dir;
  const Finished run = testing::Run(Kv218(dir, {"info", "--simulate", "--sim-baud", "max"}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(LogLines(run.out), (Lines{"<<NOTE>> FW 1.85 (simulated KV-218)"}));
}

// A line that brings a NUL every 200 ms and never the note: the silence count never reaches
// its six ticks, and info still ends, after sixty (ticks of 150 ms here), as a time-out.
TEST(Kv218, InfoEndsThoughTheLineKeepsBringingBytes) {
  TempFolder dir;
  testing::PtyPair line;
  ASSERT_TRUE(line.Ok());
  ChildProcess info(Kv218(dir, {"info", "--port", line.SlavePath(), "--tick-ms", "150"}));
  std::atomic<bool> done = false;
  std::thread noise([&] {
    while (!done) {
      line.Write({0x00});
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  const Finished run = info.Wait(std::chrono::seconds(60));
  done = true;
  noise.join();
  EXPECT_EQ(run.exitCode, 3) << run.err;
  EXPECT_EQ(run.err,
            "kv218: the programmer sent bytes but no note for 60 seconds\n"
            "kv218: no note from the programmer\n");
}

// A note that would clear the terminal and retitle it reaches standard output harmless.
TEST(Kv218, InfoShowsTheControlCharactersOfANote) {
  TempFolder dir;
  ExternalSimulator sim(dir, {"--baud", "max", "--note", "\x1B[2J\x1B]0;owned\x07 done\r\n"});
  ASSERT_TRUE(sim.ready);
  const Finished run = testing::Run(Kv218(dir, {"info", "--port", sim.link}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "<<NOTE>> F\\x1B[2J\\x1B]0;owned\\x07 done\\x0D\\x0A\n");
}

TEST(Kv218, MonitorLogsAStandaloneRunUntilInterrupted) {
  TempFolder dir;
  ChildProcess monitor(
      Kv218(dir, {"monitor", "--simulate", "--sim-baud", "max", "--sim-standalone"}));
  ASSERT_TRUE(monitor.WaitForOutput(
      [](const std::string& out) { return out.find("PROGRAMMING ") != out.npos; }));
  monitor.Signal(SIGINT);
  const Finished run = monitor.Wait();
  EXPECT_EQ(run.exitCode, 0);
  const Lines lines = LogLines(run.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "KV-218 TO TARGET ... (T)");
  EXPECT_THAT(lines[2], MatchesRegex("1\\. Check Device Ready \\( 0x[0-9A-F]{2} \\)"));
  EXPECT_THAT(lines.back(), StartsWith("PROGRAMMING "));
}

// kv218-sim ends (its pseudo-terminal hangs up, its link goes) and another starts behind the
// same link: monitor says the port is lost, opens it again once it is back, and goes on logging
// and recording the programmer's stand-alone runs.
TEST(Kv218, MonitorWaitsForALostPortAndWatchesItAgain) {
  TempFolder dir;
  const std::string record = (dir.path() / "runs.jsonl").string();
  const std::vector<std::string> unpaced = {"--baud", "max"};
  auto sim = std::make_unique<ExternalSimulator>(dir, unpaced);
  ASSERT_TRUE(sim->ready);
  const std::string link = sim->link;
  ChildProcess monitor(
      Kv218(dir, {"monitor", "--port", link, "--record", record, "--tick-ms", "100"}));
  const auto saidOnStderr = [&monitor](const std::string& text) {
    return monitor.WaitForError(
        [&text](const std::string& err) { return err.find(text) != err.npos; },
        std::chrono::seconds(30));
  };
  ASSERT_TRUE(saidOnStderr("Watching the programmer on " + link)) << monitor.Err();

  sim.reset();
  ASSERT_TRUE(saidOnStderr("kv218: port " + link + " lost; waiting for it to come back\n"))
      << monitor.Err();
  sim = std::make_unique<ExternalSimulator>(dir, unpaced);
  ASSERT_TRUE(sim->ready);
  ASSERT_TRUE(saidOnStderr("kv218: port " + link + " is back\n")) << monitor.Err();

  sim->process.Signal(SIGUSR1);  // a stand-alone run of the programmer that came back
  ASSERT_TRUE(monitor.WaitForOutput(
      [](const std::string& out) { return out.find("PROGRAMMING ") != out.npos; }));
  ASSERT_TRUE(saidOnStderr("Stand-alone runs: 0 passed, 1 failed\n")) << monitor.Err();
  monitor.Signal(SIGINT);
  const Finished run = monitor.Wait();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const Lines lines = LogLines(run.out);
  ASSERT_GE(lines.size(), 2u) << run.out;
  EXPECT_EQ(lines[1], "KV-218 TO TARGET ... (T)");
  const Lines records = LogLines(FileText(record));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_THAT(records[0], HasSubstr("\"port\":\"" + link + "\""));
}

// The programmer's line hangs up in the middle of a transfer: the run ends with the log of a
// programmer that fell silent there, and standard error says the port was lost.
TEST(Kv218, APortLostDuringARunTimesOutAndIsReported) {
  TempFolder dir;
  ExternalSimulator sim(dir,
                        {"--baud", "max", "--erase-ms", "0", "--fault", "hangup-mid-transfer=1"});
  ASSERT_TRUE(sim.ready);
  const std::string file = dir.Write("three-blocks.hex", testing::Type0Hex(64, 0x1000));
  const Finished run = testing::Run(
      Kv218(dir, {"program", "--port", sim.link, "--tick-ms", "100", "--type", "0", file}));
  EXPECT_EQ(run.exitCode, 3) << run.err;
  EXPECT_THAT(RunLines(run, file),
              ElementsAreArray(Lines{
                  "", "PROGRAMMING TARGET ... (T)", "1. Reading Device ID ... OK ( 0xBF , 0x2118 )",
                  "2. Bulk Erasing ... OK", "3. Programming Program Memory ...",
                  "TimeOut !! No response with target !!", "PROGRAMMING FAILED. (T)"}));
  EXPECT_THAT(run.err,
              HasSubstr("kv218: port " + sim.link + " lost; waiting for it to come back\n"));
}

// A plain file named as the port, on the command line or in the settings file, is refused as
// no serial device, and not a byte of it changes.
TEST(Kv218, AFileNamedAsThePortIsRefusedAndLeftUntouched) {
  TempFolder dir;
  const std::string text = std::string(3000, 'r') + "\n";
  const std::string file = dir.Write("big.txt", text);
  for (const bool inSettings : {false, true}) {
    std::vector<std::string> args = {"program", "--type", "0", "--tick-ms", "100", Example(0)};
    if (inSettings) {
      dir.Write("kv218tool.INI", "[COM PORT SETTING]\r\nPORT=" + file + "\r\n");
    } else {
      args.insert(args.end(), {"--port", file});
    }
    const Finished run = testing::Run(Kv218(dir, args));
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_THAT(run.err, HasSubstr("Cannot open port " + file + ": not a serial device\n"));
    EXPECT_EQ(FileText(file), text);
  }
}

TEST(Kv218, APortHeldByAnotherProgramIsReportedBusy) {
  testing::PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  PosixPort holder;
  ASSERT_TRUE(holder.Open(pty.SlavePath(), "115200,E,8,1"));
  TempFolder dir;
  const Finished run =
      testing::Run(Kv218(dir, {"info", "--port", pty.SlavePath(), "--tick-ms", "100"}));
  EXPECT_EQ(run.exitCode, 4) << run.err;
  EXPECT_THAT(run.err, HasSubstr(pty.SlavePath() + ": busy: used by another program\n"));
}

// The first lines of an example, without its end-of-file record: a file cut short.
std::string CutShort(int type, std::size_t lines) {
  std::istringstream in(FileText(Example(type)));
  std::string text, line;
  for (std::size_t i = 0; i < lines && std::getline(in, line); ++i) text += line + "\n";
  return text;
}

// A file cut short is refused before a frame goes out, saying why; --lenient programs it
// as it always was programmed, with the note; --strict refuses it at the load.
TEST(Kv218, AFileCutShortIsRefusedUnlessLenient) {
  TempFolder dir;
  const std::string file = dir.Write("cut.hex", CutShort(3, 20));
  const auto args = Kv218(dir, {"program", "--simulate", "--sim-baud", "max", "--type", "3", file});
  const Finished refused = testing::Run(args);
  EXPECT_EQ(refused.exitCode, 2) << refused.err;
  EXPECT_EQ(refused.err, "kv218: " + file + ": no end-of-file record\nkv218: " + file +
                             ": refused as suspect; --lenient runs it all the same\n");
  EXPECT_EQ(LogLines(refused.out).back(),
            "<<WARNING>> Not programmed: " + file + " is suspect (no end-of-file record)");
  EXPECT_THAT(refused.out, Not(HasSubstr("1. ")));  // no step began

  std::vector<std::string> lenientArgs = args;
  lenientArgs.push_back("--lenient");
  const Finished run = testing::Run(lenientArgs);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "kv218: " + file + ": no end-of-file record\n");
  EXPECT_THAT(run.out, HasSubstr("<<WARNING>> Programmed anyway: " + file +
                                 " is suspect (no end-of-file record)\n"));

  std::vector<std::string> strictArgs = args;
  strictArgs.push_back("--strict");
  const Finished strict = testing::Run(strictArgs);
  EXPECT_EQ(strict.exitCode, 2);
  EXPECT_EQ(strict.err, "No end-of-file record in " + file + "\n");
  EXPECT_THAT(strict.out, Not(HasSubstr("PROGRAMMING")));
}

// A command that ends with a usage or input error before it talks to the programmer leaves
// the settings file as it was: still absent, or byte for byte what it held.
TEST(Kv218, AUsageOrInputErrorLeavesTheSettingsFileAlone) {
  const std::vector<std::vector<std::string>> commands = {
      {"program", "--type", "9", Example(0)},
      {"program", "--fault", "silent-at=8RI", Example(0)},
      {"info", "--simulate", "--sim-baud", "fast"},
      {"program", "--simulate", "--sim-baud", "max", "--type", "0", "/nonexistent/file.hex"},
      {"store", "--simulate", "--sim-baud", "max", "--type", "3", "--strict", "@cut.hex"},
  };
  const std::optional<std::string> before[] = {std::nullopt, "[INDEX]\r\nTYPE=0\r\n"};
  for (const auto& command : commands) {
    for (const auto& text : before) {
      TempFolder dir;
      const auto settings = dir.path() / "kv218tool.INI";
      if (text) dir.Write("kv218tool.INI", *text);
      std::vector<std::string> args = command;
      for (auto& arg : args) {
        if (arg == "@cut.hex") arg = dir.Write("cut.hex", CutShort(3, 5));
      }
      const Finished run = testing::Run(Kv218(dir, args));
      EXPECT_EQ(run.exitCode, 2) << args[0] << " " << args[1] << ": " << run.err;
      EXPECT_EQ(std::filesystem::exists(settings), text.has_value()) << args[1];
      if (text) {
        EXPECT_EQ(FileText(settings.string()), *text) << args[1];
      }
    }
  }
}

struct ErrorCase {
  std::vector<std::string> args;
  int exitCode;
  std::string message;  // part of standard error
};
void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.message; }

class Errors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(Errors, EndWithTheirExitStatusAndAMessage) {
  TempFolder dir;
  const Finished run = testing::Run(Kv218(dir, GetParam().args));
  EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
  EXPECT_THAT(run.err, HasSubstr(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Kv218, Errors,
    ::testing::Values(ErrorCase{{"program", "--port", "/nonexistent/ttyX", Example(0)},
                                4,
                                "Cannot open port /nonexistent/ttyX: no such device\n"},
                      ErrorCase{{"program", "--port", "\\\\.\\COM77", Example(0)},
                                4,
                                "(/dev/ttyS76): no such device\n"},
                      ErrorCase{{"program", "--simulate", "/nonexistent/file.hex"},
                                2,
                                "Cannot open file /nonexistent/file.hex"},
                      ErrorCase{{"store", "--simulate", "--fault", "no-such-fault", Example(0)},
                                2,
                                "no-such-fault"},
                      ErrorCase{{"program", "--simulate", "--type", "7", Example(0)}, 2, "--type"},
                      ErrorCase{{"program"}, 2, "FILE"}));

}  // namespace
}  // namespace kv218

// kv218 verify and kv218 read end to end against kv218-sim, which keeps what it was
// programmed with between commands: a board checked after programming, a read loaded back,
// and the output file of a read that does not finish never there.

#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../runs/test_hex.h"
#include "child_process.h"
#include "external_simulator.h"
#include "kv218_command.h"

namespace kv218 {
namespace {

using testing::ChildProcess;
using ::testing::ElementsAreArray;
using testing::ExternalSimulator;
using testing::Finished;
using ::testing::HasSubstr;
using testing::Kv218;
using testing::LogLines;
using ::testing::StartsWith;
using testing::TempFolder;

using Lines = std::vector<std::string>;

std::string Example(const char* name) { return std::string(KV218_EXAMPLES) + "/" + name; }

// The files in dir besides the settings, the simulator's link and its trace.
std::vector<std::string> OtherFiles(const TempFolder& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name != "kv218tool.INI" && name != "kv218-port" && name != "trace.txt") {
      names.push_back(name);
    }
  }
  return names;
}

// The checksums a load shows for a file ("Loading ... OK ( ... )").
std::string LoadLine(const TempFolder& dir, const std::string& type, const std::string& file) {
  const Finished load = testing::Run(Kv218(dir, {"load", "--type", type, file}));
  EXPECT_EQ(load.exitCode, 0) << load.err;
  const Lines lines = LogLines(load.out);
  return lines.size() >= 3 ? lines[2] : std::string();
}

TEST(Kv218Verify, PassesOnTheBoardItProgrammedAndNamesAChangeInTheFlash) {
  TempFolder dir;
  ExternalSimulator sim(dir, {"--baud", "max", "--erase-ms", "0"});
  ASSERT_TRUE(sim.ready);
  const std::string tk = Example("tk_series.hex");
  const std::string cradle = Example("cradle_set.hex");
  auto run = [&](std::vector<std::string> args, const char* type = "0") {
    args.insert(args.end(), {"--port", sim.link, "--type", type});
    return testing::Run(Kv218(dir, args));
  };
  ASSERT_EQ(run({"program", tk}).exitCode, 0);
  const Finished verified = run({"verify", tk});
  EXPECT_EQ(verified.exitCode, 0) << verified.err;
  const Lines lines = LogLines(verified.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_THAT(Lines(lines.begin() + 3, lines.end()),
              ElementsAreArray(Lines{
                  "", "VERIFYING TARGET ... (T)", "1. Reading Device ID ... OK ( 0xBF , 0x2118 )",
                  "2. Reading Program Memory ... OK", "3. Verify Program Memory ... OK",
                  "4. Reading Configuration Bits ... OK", "5. Verify Configuration Bits ... OK",
                  "VERIFY SUCCEEDED. (T)"}));

  // The flash holds no image yet: verify --flash fails and says where. (Type 2: its flash
  // image is 17 blocks, type 0's 171, each answered at least 50 ms after the last.)
  const Finished blank = run({"verify", "--flash", cradle}, "2");
  EXPECT_EQ(blank.exitCode, 1);
  EXPECT_THAT(blank.out, HasSubstr(" NG ( std : 0x"));
  EXPECT_THAT(blank.out, HasSubstr(" )\nFirst difference at 0x0000: file "));
  ASSERT_EQ(run({"store", cradle}, "2").exitCode, 0);
  EXPECT_EQ(run({"verify", "--flash", cradle}, "2").exitCode, 0);
}

// Several boards at once, as program does: a blank type-2 board matches a file without data
// (erased memory, the configuration's defaults; a suspect file, run with --lenient), and the
// second board's read-back is corrupt.
TEST(Kv218Verify, ServesSeveralBoardsAtOnceEachWithItsVerdict) {
  TempFolder dir;
  const std::string blank = dir.Write("blank.hex", ":00000001FF\r\n");
  const Finished run =
      testing::Run(Kv218(dir, {"verify", "--simulate", "2", "--sim-baud", "max", "--fault",
                               "2:corrupt-readback", "--type", "2", "--lenient", blank}));
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_THAT(run.out, HasSubstr("[sim1] VERIFY SUCCEEDED. ("));
  // Each port's lines in its own order; the two ports' lines may interleave on the way out.
  std::string sim2Lines;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("[sim2] ", 0) == 0) sim2Lines += line + "\n";
  }
  EXPECT_THAT(sim2Lines, HasSubstr("[sim2] First difference at 0x0001: file FF, read FE (1 byte "
                                   "differs)\n[sim2] VERIFY FAILED. ("));
  EXPECT_THAT(run.out, HasSubstr("Exit status 1: failed on sim2"));
}

TEST(Kv218Verify, Type3TargetIsAnInputErrorWithNothingSent) {
  TempFolder dir;
  ExternalSimulator sim(dir, {"--baud", "max"});
  ASSERT_TRUE(sim.ready);
  for (const char* command : {"verify", "read"}) {
    std::vector<std::string> args = {command, "--port", sim.link, "--type", "3"};
    if (std::string(command) == "verify") {
      args.push_back(Example("eco_mode.hex"));
    } else {
      args.insert(args.end(), {"--out", (dir.path() / "eco.hex").string()});
    }
    const Finished run = testing::Run(Kv218(dir, args));
    EXPECT_EQ(run.exitCode, 2) << command;
    EXPECT_THAT(run.err, HasSubstr("Eco Mode (type 3) target cannot be read"));
  }
  EXPECT_THAT(sim.TraceText(), ::testing::Not(HasSubstr("host>")));
  EXPECT_THAT(OtherFiles(dir), ::testing::IsEmpty());
}

TEST(Kv218Read, WritesAFileThatLoadsAsTheOneProgrammed) {
  struct Case {
    const char* type;
    const char* example;
    const char* command;  // how the image got into the programmer
    bool flash;
  };
  for (const Case& c :
       {Case{"0", "tk_series.hex", "program", false}, Case{"2", "cradle_set.hex", "program", false},
        Case{"3", "eco_mode.hex", "store", true}, Case{"1", "mvrx_series.hex", "store", true}}) {
    SCOPED_TRACE(c.example);
    TempFolder dir;
    ExternalSimulator sim(dir, {"--baud", "max", "--erase-ms", "0"});
    ASSERT_TRUE(sim.ready);
    const std::string example = Example(c.example);
    ASSERT_EQ(testing::Run(Kv218(dir, {c.command, "--port", sim.link, "--type", c.type, example}))
                  .exitCode,
              0);
    const std::string out = (dir.path() / "read.hex").string();
    std::vector<std::string> args = {"read", "--port", sim.link, "--type", c.type, "--out", out};
    if (c.flash) args.push_back("--flash");
    const Finished read = testing::Run(Kv218(dir, args));
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(LogLines(read.out).back(), "READ SUCCEEDED. (T)");
    EXPECT_EQ(LoadLine(dir, c.type, out), LoadLine(dir, c.type, example));
  }
}

TEST(Kv218Read, ATimeOutOrCtrlCLeavesNoFile) {
  TempFolder dir;
  {
    ExternalSimulator sim(dir, {"--baud", "max", "--fault", "silent-at=9RDD#5"});
    ASSERT_TRUE(sim.ready);
    const Finished run =
        testing::Run(Kv218(dir, {"read", "--port", sim.link, "--type", "2", "--tick-ms", "100",
                                 "--out", (dir.path() / "timed-out.hex").string()}));
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_EQ(LogLines(run.out).back(), "READ FAILED. (T)");
  }
  {
    ExternalSimulator sim(dir, {});  // paced at 115200 baud: the read takes a few seconds
    ASSERT_TRUE(sim.ready);
    ChildProcess kv218(Kv218(dir, {"read", "--port", sim.link, "--type", "0", "--out",
                                   (dir.path() / "interrupted.hex").string()}));
    ASSERT_TRUE(kv218.WaitForOutput([](const std::string& out) {
      // The identity's line is written out once the next step's begins.
      return out.find("1. Reading Device ID ... OK") != out.npos;
    }));
    kv218.Signal(SIGINT);
    const Finished run = kv218.Wait();
    EXPECT_EQ(run.exitCode, 130);
  }
  EXPECT_THAT(OtherFiles(dir), ::testing::IsEmpty());
}

}  // namespace
}  // namespace kv218

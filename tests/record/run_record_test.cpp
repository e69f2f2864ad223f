// The record of runs as the controller writes it: one JSON line per program or store run and
// per stand-alone run, with the in-process simulated programmer on virtual time (so a
// duration is the run's virtual time, exactly).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/controller.h"
#include "ground/utf8_path.h"
#include "image/sha256.h"
#include "sim/device_model.h"
#include "sim/fault_set.h"
#include "sim/in_process_port.h"
#include "test_hex.h"
#include "testkit/controller_fixture.h"
#include "testkit/sequence_fixture.h"

namespace kv218 {
namespace {

using nlohmann::json;
using ::testing::StartsWith;

using testing::kEpoch;

enum class RecordedOperation { Program, Store };

RunOutcome (Controller::*Button(RecordedOperation op))() {
  return op == RecordedOperation::Program ? &Controller::ProgramTarget
                                          : &Controller::StoreInProgrammer;
}

// The record's lines, each read as JSON.
std::vector<json> Lines(const testing::ControllerFixture& fixture) {
  std::vector<json> lines;
  for (const std::string& line : fixture.RecordLines()) lines.push_back(json::parse(line));
  return lines;
}

std::string DigestOf(const std::string& bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return DigestText(hash.Finish());
}

struct RunCase {
  std::string name;
  RecordedOperation op;
  int type;
  std::vector<std::string> faults;
  bool interrupt;  // asked to end at the third write block
  RunOutcome outcome;
  std::string result;
  json failedStep;         // text or null
  std::string failedLine;  // the start of it; empty: null
  json identity;           // text or null
  json eraseCounter;       // number or null
};
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class RecordOfARun : public ::testing::TestWithParam<RunCase> {};

TEST_P(RecordOfARun, NamesItsResultItsFailingStepAndWhatItRead) {
  const RunCase& c = GetParam();
  testing::ControllerFixture fixture(c.faults);
  fixture.OpenRecording();
  int blocks = 0;
  if (c.interrupt) {
    fixture.onFrame = [&](const sim::Frame& frame) {
      if (frame.command == sim::Command::WriteData && ++blocks == 3) {
        fixture.controller.RequestClose();
      }
    };
  }
  const std::string text = c.type == 0 ? testing::Type0Hex(64, 0x1000) : testing::Type16Hex(false);
  const std::string file = fixture.dir.Write("image.hex", text);
  EXPECT_EQ(fixture.Press(Button(c.op), c.type, file), c.outcome);

  const auto lines = Lines(fixture);
  ASSERT_EQ(lines.size(), 1u);
  const json& r = lines[0];
  EXPECT_EQ(r["result"], c.result);
  EXPECT_EQ(r["operation"], c.op == RecordedOperation::Program ? "program" : "store");
  EXPECT_EQ(r["failed_step"], c.failedStep);
  if (c.failedLine.empty()) {
    EXPECT_TRUE(r["failed_line"].is_null()) << r["failed_line"];
  } else {
    ASSERT_TRUE(r["failed_line"].is_string());
    EXPECT_THAT(r["failed_line"].get<std::string>(), StartsWith(c.failedLine));
    // The line as the log shows it.
    EXPECT_THAT(fixture.window.log, ::testing::Contains(r["failed_line"].get<std::string>()));
  }
  EXPECT_EQ(r["device_identity"], c.identity);
  EXPECT_EQ(r["erase_counter"], c.eraseCounter);
  EXPECT_EQ(r["target_type"], c.type);
  EXPECT_EQ(r["hex_file"], file);
  EXPECT_EQ(r["hex_sha256"], DigestOf(text));
  EXPECT_EQ(r["image_checksum"], fixture.window.panels[4]);
  EXPECT_EQ(r["port"], "\\\\.\\COM1");
  EXPECT_EQ(r["version"], "1.85.11");
  EXPECT_TRUE(r["host"].is_string());
  // Start and end on the virtual clock: the duration is the run's virtual time.
  EXPECT_EQ(r["start"], IsoTimeText(kEpoch));
  EXPECT_EQ(r["end"], IsoTimeText(kEpoch + fixture.loop.Now()));
  EXPECT_DOUBLE_EQ(r["duration_s"].get<double>(),
                   static_cast<double>(fixture.loop.Now().count()) / 1000.0);
}

const json kNull = nullptr;
const std::string kTimeOut = "TimeOut !! No response with target !!";

INSTANTIATE_TEST_SUITE_P(Outcomes, RecordOfARun,
                         ::testing::Values(RunCase{"ProgramSucceeds",
                                                   RecordedOperation::Program,
                                                   0,
                                                   {},
                                                   false,
                                                   RunOutcome::Succeeded,
                                                   "succeeded",
                                                   kNull,
                                                   "",
                                                   "0xBF , 0x2118",
                                                   kNull},
                                           RunCase{"ReadBackDiffers",
                                                   RecordedOperation::Program,
                                                   0,
                                                   {"corrupt-readback"},
                                                   false,
                                                   RunOutcome::Failed,
                                                   "failed",
                                                   "5. Verify Program Memory",
                                                   "5. Verify Program Memory ... NG ( std : 0x",
                                                   "0xBF , 0x2118",
                                                   kNull},
                                           RunCase{"WrongIdentity",
                                                   RecordedOperation::Program,
                                                   2,
                                                   {"bad-identity"},
                                                   false,
                                                   RunOutcome::Failed,
                                                   "failed",
                                                   "1. Reading Device ID",
                                                   "1. Reading Device ID ... NG (",
                                                   "0x1C , 0x1F",
                                                   kNull},
                                           RunCase{"SilentMidWrite",
                                                   RecordedOperation::Program,
                                                   0,
                                                   {"silent-at=WDD#3"},
                                                   false,
                                                   RunOutcome::TimedOut,
                                                   "time-out",
                                                   "3. Programming Program Memory",
                                                   "3. Programming Program Memory ...",
                                                   "0xBF , 0x2118",
                                                   kNull},
                                           RunCase{"InterruptedMidWrite",
                                                   RecordedOperation::Program,
                                                   0,
                                                   {},
                                                   true,
                                                   RunOutcome::Interrupted,
                                                   "interrupted",
                                                   "3. Programming Program Memory",
                                                   "3. Programming Program Memory ...",
                                                   "0xBF , 0x2118",
                                                   kNull},
                                           RunCase{"StoreSucceeds",
                                                   RecordedOperation::Store,
                                                   1,
                                                   {"erase-counter=41"},
                                                   false,
                                                   RunOutcome::Succeeded,
                                                   "succeeded",
                                                   kNull,
                                                   "",
                                                   kNull,
                                                   41},
                                           RunCase{"EnduranceLimit",
                                                   RecordedOperation::Store,
                                                   0,
                                                   {"erase-counter=100000"},
                                                   false,
                                                   RunOutcome::Failed,
                                                   "failed",
                                                   kNull,
                                                   "FLASH MEMORY cycling endurance reach llimit !!",
                                                   kNull,
                                                   100000},
                                           RunCase{"SilentAtTheCounter",
                                                   RecordedOperation::Store,
                                                   0,
                                                   {"silent-at=FRE"},
                                                   false,
                                                   RunOutcome::TimedOut,
                                                   "time-out",
                                                   kNull,
                                                   kTimeOut,
                                                   kNull,
                                                   kNull}),
                         [](const auto& test) { return test.param.name; });

// Recording adds nothing to the log and changes no frame: the same run, recorded or not.
// Every operation that reads back tells where a failed read-back differed first, as its log's
// aside does; a read starts from no file.
struct DifferenceCase {
  std::string name;
  RunOutcome (Controller::*operation)();
  int type;
  std::vector<std::string> faults;
  std::string operationName;
  json address;  // the first difference's, or null for none
};
void PrintTo(const DifferenceCase& c, std::ostream* os) { *os << c.name; }

class RecordedDifference : public ::testing::TestWithParam<DifferenceCase> {};

TEST_P(RecordedDifference, IsTheAsidesFirstDifferenceOrNull) {
  const DifferenceCase& c = GetParam();
  testing::ControllerFixture fixture(c.faults);
  fixture.OpenRecording();
  fixture.window.targetType = c.type;
  const std::string text = c.type == 0 ? testing::Type0Hex(64, 0x1000) : testing::Type16Hex(false);
  const std::string file = fixture.dir.Write("image.hex", text);
  fixture.controller.SetHexFile(file);
  (fixture.controller.*c.operation)();

  const auto lines = Lines(fixture);
  ASSERT_EQ(lines.size(), 1u);
  const json& r = lines[0];
  EXPECT_EQ(r["operation"], c.operationName);
  if (c.address.is_null()) {
    EXPECT_TRUE(r["first_difference"].is_null()) << r["first_difference"];
    return;
  }
  const json& d = r["first_difference"];
  ASSERT_TRUE(d.is_object()) << r;
  EXPECT_EQ(d["address"], c.address);
  const std::string aside = "First difference at " + d["address"].get<std::string>() + ": file " +
                            d["file"].get<std::string>() + ", read " +
                            d["read"].get<std::string>() + " (";
  EXPECT_THAT(fixture.window.log, ::testing::Contains(StartsWith(aside)));
  EXPECT_GE(d["count"].get<int>(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, RecordedDifference,
    ::testing::Values(
        // The fault changes the first word's middle byte: file address 1.
        DifferenceCase{
            "program", &Controller::ProgramTarget, 0, {"corrupt-readback"}, "program", "0x0001"},
        DifferenceCase{"program_passes", &Controller::ProgramTarget, 0, {}, "program", nullptr},
        // A board never programmed: erased from the first byte on.
        DifferenceCase{"verify_blank", &Controller::VerifyTarget, 2, {}, "verify", "0x0000"},
        DifferenceCase{
            "verify_flash", &Controller::VerifyProgrammer, 2, {}, "verify-flash", "0x0000"},
        DifferenceCase{"read", &Controller::ReadTarget, 2, {}, "read", nullptr}),
    [](const ::testing::TestParamInfo<DifferenceCase>& param) { return param.param.name; });

// A build that writes the next image while a run goes on: the record names the bytes the run
// loaded and programmed, whenever the file is replaced.
TEST(RecordedRun, NamesTheBytesLoadedWhenTheFileIsReplacedDuringTheRun) {
  for (const std::string_view replacedAt : {"Loading ...", "1. Reading Device ID ..."}) {
    SCOPED_TRACE(replacedAt);
    testing::ControllerFixture fixture;
    fixture.OpenRecording();
    const std::string before = testing::Type16Hex(false, 0x1000);
    const std::string after = testing::Type16Hex(false, 0x2000);
    const std::string file = fixture.dir.Write("image.hex", before);
    bool replaced = false;
    fixture.window.onLog = [&](std::string_view line) {
      if (line != replacedAt || replaced) return;
      replaced = true;
      const std::string next = fixture.dir.Write("next.hex", after);
      std::filesystem::rename(PathFromUtf8(next), PathFromUtf8(file));
    };
    EXPECT_EQ(fixture.Press(Button(RecordedOperation::Program), 2, file), RunOutcome::Succeeded);
    ASSERT_TRUE(replaced);
    const auto lines = Lines(fixture);
    ASSERT_EQ(lines.size(), 1u);
    // Replaced before the load: the new file was programmed; after it: the old one.
    const bool newLoaded = replacedAt == "Loading ...";
    EXPECT_EQ(lines[0]["hex_sha256"], DigestOf(newLoaded ? after : before));
    EXPECT_EQ(lines[0]["image_checksum"], fixture.window.panels[4]);
  }
}

// The wall clock set an hour forward or back during a run (a time server, the operator): the
// duration is still the run's.
TEST(RecordedRun, TheDurationIsMeasuredNotTakenFromTheWallClock) {
  for (const std::chrono::hours step : {std::chrono::hours(1), std::chrono::hours(-1)}) {
    testing::ControllerFixture fixture;
    fixture.OpenRecording();
    fixture.onFrame = [&](const sim::Frame&) { fixture.clockStep = step; };
    const std::string file = fixture.dir.Write("image.hex", testing::Type16Hex(false));
    ASSERT_EQ(fixture.Press(Button(RecordedOperation::Program), 2, file), RunOutcome::Succeeded);
    const auto lines = Lines(fixture);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_DOUBLE_EQ(lines[0]["duration_s"].get<double>(),
                     static_cast<double>(fixture.loop.Now().count()) / 1000.0);
    EXPECT_EQ(lines[0]["end"], IsoTimeText(kEpoch + fixture.loop.Now() + step));
  }
}

TEST(RecordedRun, AReadNamesNoFile) {
  testing::ControllerFixture fixture;
  fixture.OpenRecording();
  fixture.window.targetType = 0;
  ASSERT_EQ(fixture.controller.ReadProgrammer(), RunOutcome::Succeeded);
  const auto lines = Lines(fixture);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["operation"], "read-flash");
  EXPECT_TRUE(lines[0]["hex_file"].is_null());
  EXPECT_TRUE(lines[0]["hex_sha256"].is_null());
  EXPECT_EQ(lines[0]["result"], "succeeded");
}

// A suspect file refused sends nothing and leaves no line; forced ("Program anyway"), its line
// says so with the reasons, and a sound file's line has no such field.
TEST(RecordedRun, AForcedRunNamesItsReasonsAndARefusedOneLeavesNoLine) {
  testing::ControllerFixture fixture;
  fixture.OpenRecording();
  const std::string empty = fixture.dir.Write("empty.hex", "");
  EXPECT_EQ(fixture.Press(&Controller::ProgramTarget, 0, empty), RunOutcome::Refused);
  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(fixture.recordPath)));

  fixture.window.goOnAnswers = {true};
  EXPECT_EQ(fixture.Press(&Controller::StoreInProgrammer, 0, empty), RunOutcome::Succeeded);
  EXPECT_EQ(fixture.Press(&Controller::ProgramTarget, 0,
                          fixture.dir.Write("tk.hex", testing::Type0Hex(64, 0x1000))),
            RunOutcome::Succeeded);
  const auto lines = Lines(fixture);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["forced"], json::array({"no data records", "no end-of-file record"}));
  EXPECT_TRUE(lines[1]["forced"].is_null());
}

TEST(RecordedRun, ShowsTheSameLogAsARunNotRecorded) {
  std::vector<std::string> logs[2];
  const testing::TempFolder images;
  const std::string file = images.Write("tk.hex", testing::Type0Hex(64, 0x1000));
  for (const bool recording : {false, true}) {
    testing::ControllerFixture fixture;
    fixture.controller.Open();
    if (recording) fixture.controller.SetRecordFile(fixture.recordPath);
    EXPECT_EQ(fixture.Press(&Controller::StoreInProgrammer, 0, file), RunOutcome::Succeeded);
    EXPECT_EQ(fixture.Press(&Controller::ProgramTarget, 0, file), RunOutcome::Succeeded);
    logs[recording] = fixture.window.log;
    EXPECT_EQ(std::filesystem::exists(PathFromUtf8(fixture.recordPath)), recording);
  }
  EXPECT_EQ(testing::WithoutTimeStamps(logs[1]), testing::WithoutTimeStamps(logs[0]));
}

TEST(RecordedRun, AFileThatCannotBeWrittenIsReportedAndTheResultStands) {
  testing::ControllerFixture fixture({"corrupt-readback"});
  fixture.controller.Open();
  const std::string unwritable = Utf8FromPath(fixture.dir.path() / "no-such-folder" / "runs.jsonl");
  fixture.controller.SetRecordFile(unwritable);
  const std::string file = fixture.dir.Write("tk.hex", testing::Type0Hex(64, 0x1000));
  EXPECT_EQ(fixture.Press(Button(RecordedOperation::Program), 0, file), RunOutcome::Failed);
  ASSERT_GE(fixture.window.log.size(), 3u);
  // In the log, just before the run's closing line (the record is written before the verdict
  // is shown), which what to do next follows; no message box stops the line.
  EXPECT_THAT(fixture.window.log.end()[-2], StartsWith("PROGRAMMING FAILED. ("));
  EXPECT_THAT(fixture.window.log.back(), StartsWith("<<NEXT STEP>> "));
  // The reason is the system's own text ("No such file or directory", "Path not found.").
  const std::string warning = "<<WARNING>> Run not recorded: cannot open " + unwritable + ": ";
  EXPECT_THAT(fixture.window.log.end()[-3], StartsWith(warning));
  EXPECT_GT(fixture.window.log.end()[-3].size(), warning.size());
  EXPECT_TRUE(fixture.window.errors.empty());
  EXPECT_TRUE(fixture.window.buttonsEnabled);
}

TEST(RecordedRun, TheSettingsNameTheFileAndKeepTheirRecordSection) {
  testing::ControllerFixture fixture;
  const std::string settings =
      "[COM PORT SETTING]\r\nPORT=\\\\.\\COM3\r\n"
      "[record]\r\n  file = " +
      fixture.recordPath + "  \r\n; kept\r\n";
  std::ofstream(PathFromUtf8(fixture.settingsPath), std::ios::binary) << settings;
  fixture.controller.Open();
  EXPECT_EQ(fixture.controller.RecordFile(), fixture.recordPath);
  const std::string file = fixture.dir.Write("tk.hex", testing::Type0Hex(64, 0x1000));
  EXPECT_EQ(fixture.Press(&Controller::ProgramTarget, 0, file), RunOutcome::Succeeded);
  ASSERT_EQ(Lines(fixture).size(), 1u);
  EXPECT_EQ(Lines(fixture)[0]["port"], "\\\\.\\COM3");
  ASSERT_TRUE(fixture.controller.Close(2));
  std::ifstream in(PathFromUtf8(fixture.settingsPath), std::ios::binary);
  const std::string saved(std::istreambuf_iterator<char>(in), {});
  EXPECT_NE(saved.find("[record]\r\n  file = " + fixture.recordPath + "  \r\n; kept\r\n"),
            std::string::npos)
      << saved;
}

// --- the programmer's stand-alone runs ------------------------------------------------------

class StandaloneRecord : public ::testing::Test, public testing::ControllerFixture {
 protected:
  void Burst(std::vector<std::uint8_t> bytes, std::chrono::milliseconds later = {}) {
    loop.Sleep(later);
    controller.OnBurst(bytes.data(), bytes.size());
  }
};

// Whoever reads a verdict may rely on its record: the line is on the disk before the verdict
// is shown, for the host's runs (passed, failed, timed out) and the programmer's own.
TEST(RecordedRun, EveryVerdictIsShownAfterItsRecordIsWritten) {
  struct Case {
    std::vector<std::string> faults;
    RunOutcome outcome;
  };
  for (const Case& c :
       {Case{{}, RunOutcome::Succeeded}, Case{{"corrupt-flash-readback"}, RunOutcome::Failed},
        Case{{"silent-at=FE"}, RunOutcome::TimedOut}}) {
    testing::ControllerFixture fixture(c.faults);
    std::vector<std::size_t> recordedAtVerdict;
    fixture.window.onLog = [&](std::string_view line) {
      if (line.find(" SUCCEEDED. (") != line.npos || line.find(" FAILED. (") != line.npos) {
        recordedAtVerdict.push_back(Lines(fixture).size());
      }
    };
    fixture.OpenRecording();
    const std::string file = fixture.dir.Write("tk.hex", testing::Type0Hex(64, 0x1000));
    ASSERT_EQ(fixture.Press(Button(RecordedOperation::Store), 0, file), c.outcome);
    if (c.outcome == RunOutcome::Succeeded) {
      fixture.model.StartStandaloneRun();
      fixture.lastSimPort->PostDeviceOutput();
      fixture.loop.PumpMessages();
      EXPECT_EQ(recordedAtVerdict, (std::vector<std::size_t>{1, 2}));
    } else {
      EXPECT_EQ(recordedAtVerdict, std::vector<std::size_t>{1});
    }
  }
}

TEST_F(StandaloneRecord, ARunTheProgrammerReportsIsRecordedWhenItCloses) {
  // What the simulated programmer reports after the image was stored in its flash.
  OpenRecording();
  const std::string file = dir.Write("tk.hex", testing::Type0Hex(64, 0x1000));
  ASSERT_EQ(Press(&Controller::StoreInProgrammer, 0, file), RunOutcome::Succeeded);
  const auto start = loop.Now();
  model.StartStandaloneRun();
  lastSimPort->PostDeviceOutput();
  loop.PumpMessages();
  const auto lines = Lines(*this);
  ASSERT_EQ(lines.size(), 2u);
  const json& r = lines[1];
  EXPECT_EQ(r["operation"], "standalone");
  EXPECT_EQ(r["result"], "succeeded");
  EXPECT_EQ(r["port"], "\\\\.\\COM1");
  EXPECT_EQ(r["start"], IsoTimeText(kEpoch + start));
  EXPECT_EQ(r["end"], IsoTimeText(kEpoch + loop.Now()));
  // The values the reports carried, as the log shows them.
  const auto logged = [&](const std::string& head) {
    for (const auto& line : window.log) {
      if (line.starts_with(head)) return line.substr(head.size(), line.size() - head.size() - 2);
    }
    return std::string("missing");
  };
  EXPECT_EQ(r["device_ready"], logged("1. Check Device Ready ( 0x"));
  EXPECT_EQ(r["code_programmed"], logged("2. Programming Code Memory ( 0x"));
  EXPECT_EQ(r["code_verified"], logged("3. Verify Code Memory ( 0x"));
  EXPECT_EQ(r["config_programmed"], logged("4. Programming Configuration Bits ( 0x"));
  EXPECT_EQ(r["config_verified"], logged("5. Verify Configuration Bits ( 0x"));
  EXPECT_EQ(controller.StandaloneRuns().passed, 1);
  EXPECT_EQ(controller.StandaloneRuns().failed, 0);
}

TEST_F(StandaloneRecord, CountsPassesAndFailuresAndTakesNoReportFromAReply) {
  OpenRecording();
  Burst({0x1B, 0x53, 0x00});
  Burst({0x1B, 0x53, 0x01, 0x05}, std::chrono::milliseconds(200));
  Burst({0x1B, 0x53, 0x02, 0x12, 0x34, 0x1B, 0x53, 0x03, 0x12, 0x34}, std::chrono::seconds(2));
  Burst({0x1B, 0x53, 0x06}, std::chrono::milliseconds(300));
  // A closing report whose opening was missed (the monitor started late).
  Burst({0x1B, 0x53, 0x07}, std::chrono::seconds(5));
  // Read-back data that happen to hold a closing report: logged, but no run.
  Burst({0x1F, 0x46, 0x52, 0x44, 0x1B, 0x53, 0x07});
  EXPECT_EQ(controller.StandaloneRuns().passed, 1);
  EXPECT_EQ(controller.StandaloneRuns().failed, 1);

  const auto lines = Lines(*this);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["result"], "failed");
  EXPECT_EQ(lines[0]["start"], IsoTimeText(kEpoch));
  EXPECT_DOUBLE_EQ(lines[0]["duration_s"].get<double>(), 2.5);
  EXPECT_EQ(lines[0]["device_ready"], "05");
  EXPECT_EQ(lines[0]["code_programmed"], "1234");
  EXPECT_EQ(lines[0]["code_verified"], "1234");
  EXPECT_TRUE(lines[0]["config_programmed"].is_null());
  EXPECT_EQ(lines[1]["result"], "succeeded");
  EXPECT_TRUE(lines[1]["start"].is_null());
  EXPECT_TRUE(lines[1]["duration_s"].is_null());
  EXPECT_TRUE(lines[1]["device_ready"].is_null());  // nothing carried over from the last run
}

// A stand-alone run the programmer opens and never closes (reset in its middle, the monitor
// stopped) is recorded unfinished, ending at its last report, and counted: when the next run
// opens, when a run of the host's begins, when the port closes, or after a minute of silence.
enum class Abandoned { ByTheNextRun, ByAHostRun, ByTheClose, BySilence };
void PrintTo(Abandoned a, std::ostream* os) { *os << static_cast<int>(a); }

class AbandonedRun : public StandaloneRecord, public ::testing::WithParamInterface<Abandoned> {};

TEST_P(AbandonedRun, IsRecordedUnfinished) {
  OpenRecording();
  Burst({0x1B, 0x53, 0x00});
  Burst({0x1B, 0x53, 0x01, 0x05}, std::chrono::milliseconds(200));
  Burst({0x1B, 0x53, 0x02, 0x12, 0x34}, std::chrono::seconds(2));
  const auto lastReport = loop.Now();
  loop.Sleep(std::chrono::seconds(3));
  switch (GetParam()) {
    case Abandoned::ByTheNextRun:
      Burst({0x1B, 0x53, 0x00});
      break;
    case Abandoned::ByAHostRun:
      ASSERT_EQ(
          Press(&Controller::ProgramTarget, 0, dir.Write("tk.hex", testing::Type0Hex(64, 0x1000))),
          RunOutcome::Succeeded);
      break;
    case Abandoned::ByTheClose:
      controller.Close(0);
      break;
    case Abandoned::BySilence:
      // The tick timer runs while the run is open, and stops once it is given up.
      while (loop.TickTimerOn()) loop.WaitForMessages();
      EXPECT_EQ(loop.TicksDelivered(), kStandaloneSilenceTicks);
      break;
  }
  const auto lines = Lines(*this);
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0]["operation"], "standalone");
  EXPECT_EQ(lines[0]["result"], "unfinished");
  EXPECT_EQ(lines[0]["start"], IsoTimeText(kEpoch));
  EXPECT_EQ(lines[0]["end"], IsoTimeText(kEpoch + lastReport));
  EXPECT_EQ(lines[0]["code_programmed"], "1234");
  EXPECT_TRUE(lines[0]["code_verified"].is_null());
  EXPECT_EQ(lines.size(), GetParam() == Abandoned::ByAHostRun ? 2u : 1u);
  EXPECT_EQ(controller.StandaloneRuns().unfinished, 1);
  EXPECT_EQ(controller.StandaloneRuns().passed + controller.StandaloneRuns().failed, 0);
}

INSTANTIATE_TEST_SUITE_P(Endings, AbandonedRun,
                         ::testing::Values(Abandoned::ByTheNextRun, Abandoned::ByAHostRun,
                                           Abandoned::ByTheClose, Abandoned::BySilence));

TEST_F(StandaloneRecord, ARunThatKeepsReportingIsNotGivenUp) {
  // Reports every 50 seconds: never a minute of silence, so the run goes on to its close.
  OpenRecording();
  Burst({0x1B, 0x53, 0x00});
  for (int n = 0; n < 3; ++n) {
    loop.PostAfter(std::chrono::seconds(50 * (n + 1)), [this] {
      const std::uint8_t ready[] = {0x1B, 0x53, 0x01, 0x05};
      controller.OnBurst(ready, sizeof ready);
    });
  }
  while (loop.Now() < std::chrono::seconds(150)) loop.WaitForMessages();
  Burst({0x1B, 0x53, 0x07});
  EXPECT_EQ(controller.StandaloneRuns().passed, 1);
  EXPECT_EQ(controller.StandaloneRuns().unfinished, 0);
  EXPECT_FALSE(loop.TickTimerOn());
}

}  // namespace
}  // namespace kv218

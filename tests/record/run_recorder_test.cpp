// The recorder follows a run from its events alone, and what it keeps is what the log shows:
// a result lands on a step only while that step's line is the log's last line, as in the
// window, so the failing line it records is always a line of the log.

#include "record/run_recorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "protocol/run_log.h"
#include "testkit/recording_window.h"

namespace kv218 {
namespace {

struct RecorderCase {
  std::string name;
  std::function<void(RunLog&)> run;  // what the run writes, through RunLog
  RunOutcome outcome;
  std::optional<std::string> failedStep;
  std::optional<std::string> failedLine;
  std::optional<std::string> identity;
  std::optional<std::int64_t> eraseCounter;
};
void PrintTo(const RecorderCase& c, std::ostream* os) { *os << c.name; }

class RecorderFromEvents : public ::testing::TestWithParam<RecorderCase> {};

TEST_P(RecorderFromEvents, KeepsTheStepLinesAsTheLogShowsThem) {
  const RecorderCase& c = GetParam();
  RecordingWindow window;
  RunRecorder recorder;
  RunLog log(window, recorder);
  // Before the run: nothing is kept.
  log.Step(kReadDeviceIdStep);
  log.Identity("0x11 , 0x2222");
  log.EraseCounter(9);
  recorder.Begin({RunRecord::Kind::Program, "/dev/ttyS0", "", 0}, WallTime{}, SteadyTime{});
  c.run(log);
  const auto station = std::make_unique<Station>();
  const RunRecord record = recorder.End(c.outcome, *station, WallTime{}, SteadyTime{});
  EXPECT_EQ(record.failedStep, c.failedStep);
  EXPECT_EQ(record.failedLine, c.failedLine);
  EXPECT_EQ(record.deviceIdentity, c.identity);
  EXPECT_EQ(record.eraseCounter, c.eraseCounter);
  if (record.failedLine) {
    EXPECT_THAT(window.log, ::testing::Contains(*record.failedLine));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RecorderFromEvents,
    ::testing::Values(
        RecorderCase{"IdentityThenMismatch",
                     [](RunLog& log) {
                       log.Step(kReadDeviceIdStep);
                       log.Result(" OK");
                       log.Identity("0xBF , 0x2118");
                       log.Step(kVerifyProgramStep);
                       log.Result(" NG ( std : 0x1234 , now : 0x1235 )");
                       log.Ended(false);
                     },
                     RunOutcome::Failed, "5. Verify Program Memory",
                     "5. Verify Program Memory ... NG ( std : 0x1234 , now : 0x1235 )",
                     "0xBF , 0x2118", std::nullopt},
        // A stray identity reply completes whatever step is last: no identity of the run.
        RecorderCase{"IdentityOnAnotherStep",
                     [](RunLog& log) {
                       log.Step(kAutoProgramStep);
                       log.Identity("0xBF , 0x2118");
                       log.TimedOut();
                     },
                     RunOutcome::TimedOut, "1. Aoto Programming Main Memory",
                     "1. Aoto Programming Main Memory ... ( 0xBF , 0x2118 )", std::nullopt,
                     std::nullopt},
        // The counter's note follows the step line: a later result completes the note.
        RecorderCase{"ResultAfterTheCounterNote",
                     [](RunLog& log) {
                       log.Step(kFlashWriteStep);
                       log.EraseCounter(41);
                       log.Result(" OK");
                     },
                     RunOutcome::Interrupted, "2. Flash Memory Writting",
                     "2. Flash Memory Writting ...", std::nullopt, 41},
        RecorderCase{"ResultAfterTheClosingLine",
                     [](RunLog& log) {
                       log.Step(kAutoProgramStep);
                       log.Result(" NG");
                       log.Ended(false);
                       log.Result(" OK");
                     },
                     RunOutcome::Failed, "1. Aoto Programming Main Memory",
                     "1. Aoto Programming Main Memory ... NG", std::nullopt, std::nullopt},
        RecorderCase{"StoppedBeforeAnyStep",
                     [](RunLog& log) {
                       log.EraseCounter(100000);
                       log.EnduranceReached();
                     },
                     RunOutcome::Failed, std::nullopt, std::string(kEnduranceLine), std::nullopt,
                     100000},
        RecorderCase{"SucceededKeepsNoFailure",
                     [](RunLog& log) {
                       log.Step(kResetStep24);
                       log.Ended(true);
                     },
                     RunOutcome::Succeeded, std::nullopt, std::nullopt, std::nullopt,
                     std::nullopt}),
    [](const auto& test) { return test.param.name; });

}  // namespace
}  // namespace kv218

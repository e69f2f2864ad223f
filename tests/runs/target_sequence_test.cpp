// Programming a target against the simulated programmer in-process, on virtual time.

#include "runs/target_sequence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ground/text.h"
#include "ground/utf8_path.h"
#include "image/checksums.h"
#include "runs/read_back_check.h"
#include "test_hex.h"
#include "testkit/sequence_fixture.h"

namespace kv218 {
namespace {

using sim::Command;
using ::testing::ElementsAreArray;
using testing::ExpectIdleAfterEndRun;
using testing::OneByteDifferenceText;
using testing::RunLines;
using testing::SequenceFixture;
using ::testing::StartsWith;
using testing::TempFolder;

using Lines = std::vector<std::string>;

// The example images: a full-size type-0 program (86 blocks), 16-bit images with and without
// the block that lets a type-1 read-back verify, and a type-3 window.
class TargetFiles {
 public:
  TargetFiles()
      : type0(dir.Write("tk.hex", testing::Type0Hex(64, 0x2ABF8))),
        type0Blocks64(dir.Write("tk64.hex", testing::Type0Hex(64, 0x1FFF8))),
        type16(dir.Write("mvrx.hex", testing::Type16Hex(true))),
        type16Plain(dir.Write("plain16.hex", testing::Type16Hex(false))),
        type3(dir.Write("eco.hex", testing::Type1KHex())) {}
  std::string ForType(int type) const { return type == 0 ? type0 : type == 3 ? type3 : type16; }

  TempFolder dir;
  std::string type0, type0Blocks64, type16, type16Plain, type3;
};

const TargetFiles& Files() {
  static const TargetFiles files;
  return files;
}

struct SuccessCase {
  int type;
  Lines lines;
};
void PrintTo(const SuccessCase& c, std::ostream* os) { *os << "type " << c.type; }

class TargetSuccess : public ::testing::TestWithParam<SuccessCase> {};

TEST_P(TargetSuccess, RunsEveryStepAndLogsTheExactLines) {
  const SuccessCase& c = GetParam();
  SequenceFixture bench;
  EXPECT_EQ(bench.Program(c.type, Files().ForType(c.type)), RunOutcome::Succeeded);
  EXPECT_THAT(RunLines(bench), ElementsAreArray(c.lines));
  ExpectIdleAfterEndRun(bench);
  EXPECT_EQ(bench.loop.TicksDelivered(), 0);  // a programmer that answers never lets a tick pass
}

const Lines kSteps16 = {"",
                        "PROGRAMMING TARGET ... (T)",
                        "1. Reading Device ID ... OK ( 0x1C , 0x24 )",
                        "2. Bulk Erasing ... OK",
                        "3. Programming Program Memory ... OK",
                        "4. Reading Program Memory ... OK",
                        "5. Verify Program Memory ... OK",
                        "6. Resetting ... OK",
                        "PROGRAMMING SUCCEEDED. (T)"};

INSTANTIATE_TEST_SUITE_P(
    EachType, TargetSuccess,
    ::testing::Values(
        SuccessCase{0,
                    {"", "PROGRAMMING TARGET ... (T)",
                     "1. Reading Device ID ... OK ( 0xBF , 0x2118 )", "2. Bulk Erasing ... OK",
                     "3. Programming Program Memory ... OK", "4. Reading Program Memory ... OK",
                     "5. Verify Program Memory ... OK", "6. Programming Configuration Bits ... OK",
                     "7. Reading Configuration Bits ... OK", "8. Verify Configuration Bits ... OK",
                     "9. Resetting ... OK", "PROGRAMMING SUCCEEDED. (T)"}},
        SuccessCase{1, kSteps16}, SuccessCase{2, kSteps16},
        SuccessCase{3,
                    {"", "PROGRAMMING TARGET ... (T)", "1. Aoto Programming Main Memory ... OK",
                     "PROGRAMMING SUCCEEDED. (T)"}}));

TEST(TargetSequence, Type0MovesEveryBlockAndSetsANewAddressAfterAMultipleOfFour) {
  SequenceFixture full;
  ASSERT_EQ(full.Program(0, Files().type0), RunOutcome::Succeeded);
  EXPECT_EQ(full.CountReceived(Command::WriteData), 86u);
  EXPECT_EQ(full.CountReceived(Command::ReadData), 86u);

  // 64 blocks: after the 64th data reply the phase asks for a new address, so one more
  // set-address and data exchange come before the end frame.
  SequenceFixture blocks64;
  ASSERT_EQ(blocks64.Program(0, Files().type0Blocks64), RunOutcome::Succeeded);
  EXPECT_EQ(blocks64.CountReceived(Command::WriteData), 64u);
  EXPECT_EQ(blocks64.CountReceived(Command::ReadData), 65u);
  EXPECT_EQ(blocks64.CountReceived(Command::ReadEnd), 1u);
}

TEST(TargetSequence, PausesAfterBeginRunBeforeTheFirstCommand) {
  SequenceFixture bench;
  ASSERT_EQ(bench.Program(2, Files().type16), RunOutcome::Succeeded);
  const auto& events = bench.Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], "frame:" + std::to_string(static_cast<int>(Command::BeginRun)));
  EXPECT_EQ(events[1], "sleep:100");
  EXPECT_EQ(events[2], "frame:" + std::to_string(static_cast<int>(Command::ReadDeviceId)));
  EXPECT_EQ(bench.loop.SleepCalls(), 1);
}

TEST(TargetSequence, Type3SendsBeginRunAutoProgramAndEndRunOnly) {
  SequenceFixture bench;
  ASSERT_EQ(bench.Program(3, Files().type3), RunOutcome::Succeeded);
  EXPECT_EQ(bench.Received(),
            (std::vector<Command>{Command::BeginRun, Command::AutoProgram, Command::EndRun}));
}

TEST(TargetSequence, Type3ProgrammerFailureIsAFailedRun) {
  SequenceFixture bench({"autoprogram-fails"});
  EXPECT_EQ(bench.Program(3, Files().type3), RunOutcome::Failed);
  EXPECT_THAT(RunLines(bench), ElementsAreArray(Lines{"", "PROGRAMMING TARGET ... (T)",
                                                      "1. Aoto Programming Main Memory ... NG",
                                                      "PROGRAMMING FAILED. (T)"}));
  ExpectIdleAfterEndRun(bench);
}

TEST(TargetSequence, WithoutAFileOnlyWarns) {
  SequenceFixture bench;
  bench.window.buttonsEnabled = true;
  EXPECT_EQ(bench.Program(0, ""), RunOutcome::NoFile);
  EXPECT_EQ(bench.window.log, (Lines{"", "<<WARNING>> Please load file first !!"}));
  EXPECT_TRUE(bench.Received().empty());
  EXPECT_FALSE(bench.loop.TickTimerOn());
}

struct IdentityCase {
  int type;
  std::string line;
};
void PrintTo(const IdentityCase& c, std::ostream* os) { *os << "type " << c.type; }

class IdentityMismatch : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(IdentityMismatch, FailsWithoutErasing) {
  SequenceFixture bench({"bad-identity"});
  EXPECT_EQ(bench.Program(GetParam().type, Files().ForType(GetParam().type)), RunOutcome::Failed);
  EXPECT_THAT(RunLines(bench), ElementsAreArray(Lines{"", "PROGRAMMING TARGET ... (T)",
                                                      GetParam().line, "PROGRAMMING FAILED. (T)"}));
  EXPECT_EQ(bench.Received(),
            (std::vector<Command>{Command::BeginRun, Command::ReadDeviceId, Command::EndRun}));
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(
    EachType, IdentityMismatch,
    ::testing::Values(IdentityCase{0, "1. Reading Device ID ... NG ( 0x100 , 0x0000 )"},
                      IdentityCase{1, "1. Reading Device ID ... NG ( 0x1C , 0x1F )"},
                      IdentityCase{2, "1. Reading Device ID ... NG ( 0x1C , 0x1F )"}));

struct TimeoutCase {
  int type;
  std::string fault;
  std::string stepLine;  // the last line before the time-out lines, left without completion
};
void PrintTo(const TimeoutCase& c, std::ostream* os) { *os << "type " << c.type << " " << c.fault; }

class TargetTimeout : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(TargetTimeout, GivesUpAfterSixSilentTicks) {
  const TimeoutCase& c = GetParam();
  SequenceFixture bench({c.fault});
  EXPECT_EQ(bench.Program(c.type, Files().ForType(c.type)), RunOutcome::TimedOut);
  const Lines log = bench.Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_THAT(Lines(log.end() - 3, log.end()),
              ElementsAreArray(Lines{c.stepLine, "TimeOut !! No response with target !!",
                                     "PROGRAMMING FAILED. (T)"}));
  EXPECT_EQ(bench.loop.TicksDelivered(), kTargetTimeoutTicks);
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, TargetTimeout,
    ::testing::Values(TimeoutCase{0, "silent-at=RI", "1. Reading Device ID ..."},
                      TimeoutCase{0, "silent-at=E", "2. Bulk Erasing ..."},
                      TimeoutCase{0, "silent-at=WDS", "3. Programming Program Memory ..."},
                      TimeoutCase{0, "silent-at=WDD#40", "3. Programming Program Memory ..."},
                      TimeoutCase{0, "silent-at=RDS", "4. Reading Program Memory ..."},
                      TimeoutCase{0, "silent-at=RDC#3", "4. Reading Program Memory ..."},
                      TimeoutCase{0, "silent-at=RDD#9", "4. Reading Program Memory ..."},
                      TimeoutCase{0, "silent-at=RDE", "4. Reading Program Memory ..."},
                      TimeoutCase{0, "silent-at=WC", "6. Programming Configuration Bits ..."},
                      TimeoutCase{0, "silent-at=RC", "7. Reading Configuration Bits ..."},
                      TimeoutCase{0, "silent-at=S", "9. Resetting ..."},
                      TimeoutCase{1, "silent-at=8RI", "1. Reading Device ID ..."},
                      TimeoutCase{1, "silent-at=8E", "2. Bulk Erasing ..."},
                      TimeoutCase{1, "silent-at=8WD#7", "3. Programming Program Memory ..."},
                      TimeoutCase{2, "silent-at=9RDS", "4. Reading Program Memory ..."},
                      TimeoutCase{2, "silent-at=9RDD#32", "4. Reading Program Memory ..."},
                      TimeoutCase{2, "silent-at=S", "6. Resetting ..."},
                      TimeoutCase{3, "silent-at=TA", "1. Aoto Programming Main Memory ..."}));

struct MismatchCase {
  int type;
  std::string fault;
  bool config;  // the configuration bits differ, not the program memory
  // Where the changed byte stands: its HEX file address, and its place in the image as
  // loaded (an offset in the program image, or a configuration register).
  std::int64_t address;
  std::size_t offset;
  std::uint8_t flipped;  // the bits the target changed
};
void PrintTo(const MismatchCase& c, std::ostream* os) {
  *os << "type " << c.type << " " << (c.fault.empty() ? "config" : c.fault);
}

class VerificationMismatch : public ::testing::TestWithParam<MismatchCase> {};

TEST_P(VerificationMismatch, LogsBothSumsInTheTypesCaseAndDoesNotReset) {
  const MismatchCase& c = GetParam();
  SequenceFixture bench(c.fault.empty() ? std::vector<std::string>{} : std::vector{c.fault});
  if (c.config) {
    // The target gives back one configuration bit changed.
    bench.OnFrame([&](const sim::Frame& frame) {
      if (frame.command == Command::ReadConfig) bench.model->Memory().target.config24[3] ^= 0x04;
    });
  }
  EXPECT_EQ(bench.Program(c.type, Files().ForType(c.type)), RunOutcome::Failed);
  const MemoryImage& image = bench.station.image;
  std::uint16_t std_ = image.ImageChecksum;
  std::uint16_t now =
      c.type == 0 ? ProgramWordSum24(image) : TargetReadBackSum16(image, TargetTypeAt(c.type));
  std::string step = "5. Verify Program Memory ...";
  if (c.config) {
    std_ = image.ConfigChecksum;
    now = ConfigByteSum(image);
    step = "8. Verify Configuration Bits ...";
  }
  ASSERT_NE(std_, now);
  auto digits = c.type == 0 ? &Hex : &HexLower;
  const MemoryImage& file = *bench.station.fileImage.get();
  const std::uint8_t was = c.config ? file.ConfigBytes[c.offset] : file.ProgramImage[c.offset];
  const Lines log = bench.Log();
  EXPECT_THAT(Lines(log.end() - 3, log.end()),
              ElementsAreArray(Lines{
                  step + " NG ( std : 0x" + digits(std_, 4) + " , now : 0x" + digits(now, 4) + " )",
                  OneByteDifferenceText(c.address, was, c.flipped), "PROGRAMMING FAILED. (T)"}));
  EXPECT_EQ(bench.CountReceived(Command::ResetTarget), 0u);
  EXPECT_EQ(bench.CountReceived(Command::WriteConfig), c.config ? 1u : 0u);
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(EachRule, VerificationMismatch,
                         // The fault flips bit 0 of the second data byte of the first block:
                         // the middle byte of the first type-0 word (file address 1, image
                         // offset 2), the high byte of the first 16-bit word (file address 1,
                         // image offset 0).
                         ::testing::Values(MismatchCase{0, "corrupt-readback", false, 1, 2, 0x01},
                                           MismatchCase{1, "corrupt-readback", false, 1, 0, 0x01},
                                           MismatchCase{2, "corrupt-readback", false, 1, 0, 0x01},
                                           MismatchCase{0, "", true, 0x1F0000C, 3, 0x04}));

struct ShortReadCase {
  int type;
  std::string fault;
};
void PrintTo(const ShortReadCase& c, std::ostream* os) { *os << "type " << c.type; }

class ShortReadBack : public ::testing::TestWithParam<ShortReadCase> {};

// Every data reply brings half its block, and the half that never came is blank in the image
// anyway: the sums would agree, but a read-back with data missing is no read-back.
TEST_P(ShortReadBack, FailsOnTheReadBackLineThoughTheSumsWouldAgree) {
  const ShortReadCase& c = GetParam();
  TempFolder dir;
  const std::string small = dir.Write("small.hex", testing::SmallHex(c.type));
  SequenceFixture whole;
  ASSERT_EQ(whole.Program(c.type, small), RunOutcome::Succeeded);

  SequenceFixture bench({c.fault});
  EXPECT_EQ(bench.Program(c.type, small), RunOutcome::Failed);
  const Lines log = bench.Log();
  EXPECT_THAT(
      Lines(log.end() - 2, log.end()),
      ElementsAreArray(Lines{"4. Reading Program Memory ... NG", "PROGRAMMING FAILED. (T)"}));
  EXPECT_EQ(bench.station.flags.target.ReadDone, 2);
  EXPECT_EQ(bench.CountReceived(Command::WriteConfig), 0u);
  EXPECT_EQ(bench.CountReceived(Command::ResetTarget), 0u);
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(EachType, ShortReadBack,
                         ::testing::Values(ShortReadCase{0, "short-reply=RDD"},
                                           ShortReadCase{1, "short-reply=8RDD"},
                                           ShortReadCase{2, "short-reply=9RDD"}));

TEST(TargetSequence, MismatchTextUsesUpperCaseForType0AndLowerCaseOtherwise) {
  EXPECT_EQ(MismatchText(0x1A2B, 0x00FF, true), " NG ( std : 0x1A2B , now : 0x00FF )");
  EXPECT_EQ(MismatchText(0x1A2B, 0x00FF, false), " NG ( std : 0x1a2b , now : 0x00ff )");
}

TEST(TargetSequence, Type1LeavesTheProtectedRowsOutAndAdds443) {
  // The programmer reads filler in rows 1,856..1,983 of a type-1 target: the image verifies
  // only when its own bytes there sum to 0x6795; a type-2 target gives everything back.
  SequenceFixture withBlock;
  EXPECT_EQ(withBlock.Program(1, Files().type16), RunOutcome::Succeeded);
  SequenceFixture withoutBlock;
  EXPECT_EQ(withoutBlock.Program(1, Files().type16Plain), RunOutcome::Failed);
  const Lines failedLog = withoutBlock.Log();
  EXPECT_THAT(failedLog[failedLog.size() - 2],
              StartsWith("5. Verify Program Memory ... NG ( std : 0x"));
  SequenceFixture type2;
  EXPECT_EQ(type2.Program(2, Files().type16Plain), RunOutcome::Succeeded);
}

TEST(TargetSequence, SelectorChangedDuringTheRunChangesNothing) {
  // The run reads its type once, at its start: a selector moved to type 3 after the identity
  // or before the read-back leaves every frame, line and outcome of the type-0 run as it was.
  SequenceFixture undisturbed;
  ASSERT_EQ(undisturbed.Program(0, Files().type0), RunOutcome::Succeeded);
  for (const Command when : {Command::ReadDeviceId, Command::ReadStart}) {
    SCOPED_TRACE(static_cast<int>(when));
    SequenceFixture bench;
    bench.OnFrame([&](const sim::Frame& frame) {
      if (frame.command == when) bench.window.targetType = 3;
    });
    EXPECT_EQ(bench.Program(0, Files().type0), RunOutcome::Succeeded);
    EXPECT_EQ(bench.Received(), undisturbed.Received());
    EXPECT_EQ(bench.Log(), undisturbed.Log());
    EXPECT_EQ(bench.CountReceived(Command::WriteConfig), 1u);
    EXPECT_EQ(bench.CountReceived(Command::ResetTarget), 1u);
    ExpectIdleAfterEndRun(bench);
  }
}

TEST(TargetSequence, StatusReportsDuringARunAreLoggedAndKeepTheLineAlive) {
  // A report in the middle of the write comes between the step line and its completion.
  SequenceFixture busy;
  int blocks = 0;
  busy.OnFrame([&](const sim::Frame& frame) {
    if (frame.command == Command::WriteData && ++blocks == 2) {
      busy.Inject({0x1B, 0x53, 0x02, 0x00, 0x01});
    }
  });
  EXPECT_EQ(busy.Program(0, Files().type0), RunOutcome::Succeeded);
  const Lines log = busy.Log();
  // The step's result stays on the step's line; the report stands on its own.
  const auto step = std::find(log.begin(), log.end(), "3. Programming Program Memory ... OK");
  ASSERT_NE(step, log.end());
  EXPECT_EQ(*(step + 1), "2. Programming Code Memory ( 0x0001 )");
  EXPECT_EQ(*(step + 2), "4. Reading Program Memory ... OK");

  // While the programmer is silent, a report clears the time-out count: 2 ticks, the report,
  // then 6 more ticks.
  SequenceFixture silent({"silent-at=E"});
  silent.InjectAfter(std::chrono::milliseconds(3000), {0x1B, 0x53, 0x01, 0x05});
  EXPECT_EQ(silent.Program(0, Files().type0), RunOutcome::TimedOut);
  EXPECT_EQ(silent.loop.TicksDelivered(), 2 + kTargetTimeoutTicks);
  const Lines silentLog = silent.Log();
  const Lines tail(silentLog.end() - 4, silentLog.end());
  EXPECT_EQ(tail, (Lines{"2. Bulk Erasing ...", "1. Check Device Ready ( 0x05 )",
                         "TimeOut !! No response with target !!", "PROGRAMMING FAILED. (T)"}));
}

struct PhaseCase {
  std::string fault;
  bool write;  // the write (not the read-back) was cut off
};
void PrintTo(const PhaseCase& c, std::ostream* os) { *os << c.fault; }

class PhasesAfterTimeout : public ::testing::TestWithParam<PhaseCase> {};

TEST_P(PhasesAfterTimeout, TheNextRunsStartTheirTransfersAfresh) {
  SequenceFixture bench({GetParam().fault});  // only the N-th such frame is swallowed
  ASSERT_EQ(bench.Program(0, Files().type0), RunOutcome::TimedOut);
  EXPECT_NE(GetParam().write ? bench.station.transfer.WritePhase : bench.station.transfer.ReadPhase,
            0);
  for (int again = 0; again < 2; ++again) {
    const std::size_t before = bench.Received().size();
    EXPECT_EQ(bench.Program(0, Files().type0), RunOutcome::Succeeded);
    const std::vector<Command> run(bench.Received().begin() + static_cast<std::ptrdiff_t>(before),
                                   bench.Received().end());
    EXPECT_EQ(std::count(run.begin(), run.end(), Command::WriteStart), 1);
    EXPECT_EQ(std::count(run.begin(), run.end(), Command::ReadStart), 1);
    EXPECT_EQ(bench.Log().back(), "PROGRAMMING SUCCEEDED. (T)");
  }
}

INSTANTIATE_TEST_SUITE_P(MidTransfer, PhasesAfterTimeout,
                         ::testing::Values(PhaseCase{"silent-at=WDD#3", true},
                                           PhaseCase{"silent-at=RDD#5", false}));

TEST(TargetSequence, AFailedReloadReturnsToIdle) {
  TempFolder dir;
  const std::string badHex = dir.Write("bad.hex", ":10000000ZZ\r\n");
  for (const std::string& path : {Utf8FromPath(dir.path() / "gone.hex"), badHex}) {
    SequenceFixture bench;
    bench.window.buttonsEnabled = true;
    EXPECT_EQ(bench.Program(0, path), RunOutcome::LoadFailed) << path;
    EXPECT_EQ(bench.window.errors.size(), 1u) << path;
    EXPECT_TRUE(bench.window.buttonsEnabled) << path;
    EXPECT_FALSE(bench.loop.TickTimerOn()) << path;
    EXPECT_TRUE(bench.Received().empty()) << path;
    EXPECT_EQ(bench.window.log.back(), "Loading ...") << path;
  }
}

// A close request (Ctrl-C, SIGTERM, SIGHUP, the window's close) in the middle of a block
// transfer: the block in flight has its reply before EndRun goes out, and no further block
// follows; a programmer that takes in a frame by the silence after it would otherwise read
// EndRun as part of the block. A reply that never comes gets the step's six ticks.
struct CloseCase {
  const char* name;
  std::vector<std::string> faults;
  int lateReplyMs;  // with the fault: the fifth block's reply comes this late (0: never)
  bool answered;    // the fifth block's reply came before EndRun
  std::int64_t ticks;
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class CloseInBlock : public ::testing::TestWithParam<CloseCase> {};

TEST_P(CloseInBlock, SendsEndRunAfterTheReplyToTheBlockInFlight) {
  const CloseCase& c = GetParam();
  SequenceFixture bench(c.faults);
  int blocks = 0;
  int blocksAnsweredAtEndRun = -1;
  bench.OnFrame([&](const sim::Frame& frame) {
    if (frame.command == Command::WriteData && ++blocks == 5) {
      bench.control.closeRequested = true;
      if (c.lateReplyMs > 0) {
        bench.InjectAfter(std::chrono::milliseconds(c.lateReplyMs), {0x1F, 'W', 'D', 'D'});
      }
    }
    if (frame.command == Command::EndRun)
      blocksAnsweredAtEndRun = bench.station.transfer.WriteBlocks;
  });
  EXPECT_EQ(bench.Program(0, Files().type0), RunOutcome::Interrupted);
  EXPECT_EQ(blocks, 5);
  EXPECT_EQ(blocksAnsweredAtEndRun, c.answered ? 5 : 4);
  EXPECT_EQ(bench.loop.TicksDelivered(), c.ticks);
  EXPECT_EQ(bench.Log().back(), "3. Programming Program Memory ...");  // no time-out lines
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(
    ReplyToTheBlock, CloseInBlock,
    ::testing::Values(CloseCase{"AtOnce", {}, 0, true, 0},
                      CloseCase{"TwoSecondsLate", {"silent-at=WDD#5"}, 2000, true, 2},
                      CloseCase{"Never", {"silent-at=WDD#5"}, 0, false, kTargetTimeoutTicks}),
    [](const auto& c) { return std::string(c.param.name); });

// A line that brings bytes but never the answer: a NUL every half second, or a flood of
// whole bursts. Every burst restarts the silence count; the answer's own bound, sixty ticks,
// ends the run as a time-out, with a line that says why.
struct NoiseCase {
  const char* name;
  std::vector<std::uint8_t> burst;
  int periodMs;
};

void PrintTo(const NoiseCase& c, std::ostream* os) { *os << c.name; }

class NoisyLine : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(NoisyLine, EndsTheStepAsATimeOut) {
  const NoiseCase& c = GetParam();
  SequenceFixture bench({"silent-at=RI"});
  // Far longer than the bound; then silence, so that even a run without it ends.
  for (int n = 1; n * c.periodMs <= 200000; ++n) {
    bench.InjectAfter(std::chrono::milliseconds(n * c.periodMs), c.burst);
  }
  EXPECT_EQ(bench.Program(0, Files().type0), RunOutcome::TimedOut);
  const Lines log = bench.Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_THAT(
      Lines(log.end() - 4, log.end()),
      ElementsAreArray(Lines{"1. Reading Device ID ...",
                             "<<WARNING>> The KV-218 sent bytes but no answer for 60 "
                             "seconds",
                             "TimeOut !! No response with target !!", "PROGRAMMING FAILED. (T)"}));
  EXPECT_EQ(bench.loop.TicksDelivered(), kTargetTimeoutTicks * kAnswerLimitFactor);
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(Bytes, NoisyLine,
                         ::testing::Values(NoiseCase{"ANulEveryHalfSecond", {0x00}, 500},
                                           NoiseCase{"AFloodOfWholeBursts",
                                                     std::vector<std::uint8_t>(kMaxBurst, 0x55),
                                                     50}),
                         [](const auto& c) { return std::string(c.param.name); });

// A reply the programmer repeats, or one that arrives late, answers a command the host sent
// earlier: it must not complete the step in progress.
struct LateReplyCase {
  const char* name;
  Command sentNow;
  std::vector<std::uint8_t> lateReply;
};

void PrintTo(const LateReplyCase& c, std::ostream* os) { *os << c.name; }

class LateReply : public ::testing::TestWithParam<LateReplyCase> {};

TEST_P(LateReply, IsNotTakenAsTheCurrentStepsAcknowledgement) {
  SequenceFixture bench;
  bench.OnFrame([&](const sim::Frame& frame) {
    if (frame.command == GetParam().sentNow) bench.Inject(GetParam().lateReply);
  });
  EXPECT_EQ(bench.Program(1, Files().type16), RunOutcome::Succeeded);
  EXPECT_THAT(RunLines(bench), ElementsAreArray(kSteps16));
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(
    EarlierCommands, LateReply,
    ::testing::Values(
        // "2. Bulk Erasing ... OK ( 0x1C , 0x24 ) OK": the identity again during the erase.
        LateReplyCase{
            "IdentityDuringTheErase", Command::BulkErase, {0x1F, '8', 'R', 'I', 0x24, 0x1C}},
        LateReplyCase{"EraseDuringTheWriteStart", Command::WriteStart, {0x1F, '8', 'E', 0x00}},
        LateReplyCase{"WriteBlockDuringTheReadStart", Command::ReadStart, {0x1F, '8', 'W', 'D'}}),
    [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace kv218

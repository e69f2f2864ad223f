// Storing the image in the programmer's flash against the simulated programmer in-process,
// on virtual time.

#include "runs/flash_download.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "ground/text.h"
#include "image/checksums.h"
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

const testing::TypeFiles& Files() {
  static const testing::TypeFiles files(false);
  return files;
}

std::string CounterNote(std::uint32_t count) {
  return "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): " + std::to_string(count);
}

struct SuccessCase {
  int type;
  std::size_t writeBlocks;
  std::size_t readBlocks;
};
void PrintTo(const SuccessCase& c, std::ostream* os) { *os << "type " << c.type; }

class FlashSuccess : public ::testing::TestWithParam<SuccessCase> {};

TEST_P(FlashSuccess, StoresVerifiesAndCountsTheErase) {
  const SuccessCase& c = GetParam();
  SequenceFixture bench;
  bench.model->Memory().flash.EraseCounter = 41;
  EXPECT_EQ(bench.Store(c.type, Files().ForType(c.type)), RunOutcome::Succeeded);
  Lines expected = {"",
                    CounterNote(41),
                    "",
                    "PROGRAMMING FLASH MEMORY ... (T)",
                    "1. Bulk Erasing Flash Memory ... OK",
                    "2. Flash Memory Writting ... OK",
                    "3. Verify Flash Memory ... OK"};
  if (c.type == 0) {
    expected.push_back("4. Flash Memory Configuation Bits Writting ... OK");
    expected.push_back("5. Vreify Flash Memory Configuation Bits ... OK");
  }
  expected.push_back("PROGRAMMING SUCCEEDED. (T)");
  EXPECT_THAT(RunLines(bench), ElementsAreArray(expected));
  EXPECT_EQ(bench.CountReceived(Command::FlashWriteData), c.writeBlocks);
  EXPECT_EQ(bench.CountReceived(Command::FlashReadData), c.readBlocks);
  EXPECT_EQ(bench.CountReceived(Command::FlashWriteConfig), c.type == 0 ? 1u : 0u);
  EXPECT_EQ(bench.model->Memory().flash.EraseCounter, 42u);
  EXPECT_EQ(bench.loop.TicksDelivered(), 0);
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(EachType, FlashSuccess,
                         ::testing::Values(SuccessCase{0, 86, 171}, SuccessCase{1, 9, 17},
                                           SuccessCase{2, 9, 17}, SuccessCase{3, 1, 1}));

TEST(FlashDownload, RefusesAtTheEnduranceLimitWithoutErasing) {
  SequenceFixture bench({"erase-counter=100000"});
  EXPECT_EQ(bench.Store(0, Files().type0), RunOutcome::Failed);
  EXPECT_THAT(RunLines(bench),
              ElementsAreArray(Lines{"", CounterNote(100000), "",
                                     "FLASH MEMORY cycling endurance reach llimit !!",
                                     "Please contact with Velkor to repair it !!"}));
  EXPECT_EQ(bench.Received(),
            (std::vector<Command>{Command::BeginRun, Command::ReadEraseCounter, Command::EndRun}));
  EXPECT_EQ(bench.model->Memory().flash.EraseCounter, 100000u);
  ExpectIdleAfterEndRun(bench);
}

TEST(FlashDownload, OneBelowTheLimitStoresTheLimit) {
  SequenceFixture bench({"erase-counter=99999"});
  EXPECT_EQ(bench.Store(2, Files().type16), RunOutcome::Succeeded);
  EXPECT_EQ(RunLines(bench)[1], CounterNote(99999));
  EXPECT_EQ(bench.model->Memory().flash.EraseCounter, 100000u);
}

TEST(FlashDownload, Type1IsStoredWithoutTheBiasAndVerifiedWithoutLeavingRowsOut) {
  // The same image fails a type-1 target verification (its protected block does not carry
  // the magic sum) but stores and verifies in the programmer's flash.
  SequenceFixture bench;
  EXPECT_EQ(bench.Store(1, Files().type16), RunOutcome::Succeeded);
  EXPECT_EQ(bench.station.image.ChecksumBiasFlag, 0);
}

TEST(FlashDownload, TheEraseGaugeCountsSilentTicksAgainstFifteen) {
  SequenceFixture bench({"silent-at=FE"});
  std::size_t atErase = 0;
  bench.OnFrame([&](const sim::Frame& frame) {
    if (frame.command == Command::FlashErase) atErase = bench.window.progressCalls.size();
  });
  EXPECT_EQ(bench.Store(0, Files().type0), RunOutcome::TimedOut);
  std::vector<int> expected;
  for (int tick = 1; tick <= 15; ++tick) expected.push_back(tick * 100 / 15);
  const std::vector<int> gauge(
      bench.window.progressCalls.begin() + static_cast<std::ptrdiff_t>(atErase),
      bench.window.progressCalls.end());
  EXPECT_EQ(gauge, expected);  // the sixteenth tick ends the run before the gauge moves again
}

struct TimeoutCase {
  int type;
  std::string fault;
  std::string lastLine;
};
void PrintTo(const TimeoutCase& c, std::ostream* os) { *os << "type " << c.type << " " << c.fault; }

class FlashTimeout : public ::testing::TestWithParam<TimeoutCase> {};

TEST_P(FlashTimeout, GivesUpAfterSixteenSilentTicks) {
  const TimeoutCase& c = GetParam();
  SequenceFixture bench({c.fault});
  EXPECT_EQ(bench.Store(c.type, Files().ForType(c.type)), RunOutcome::TimedOut);
  const Lines log = bench.Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_THAT(log[log.size() - 3], StartsWith(c.lastLine));
  EXPECT_THAT(
      Lines(log.end() - 2, log.end()),
      ElementsAreArray(Lines{"TimeOut !! No response with target !!", "PROGRAMMING FAILED. (T)"}));
  EXPECT_EQ(bench.loop.TicksDelivered(), kFlashTimeoutTicks);
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, FlashTimeout,
    ::testing::Values(
        TimeoutCase{0, "silent-at=FRE", "Loading ... OK"},
        TimeoutCase{0, "silent-at=FE", "1. Bulk Erasing Flash Memory ..."},
        TimeoutCase{3, "silent-at=TFE", "1. Bulk Erasing Flash Memory ..."},
        TimeoutCase{0, "silent-at=FWE", "1. Bulk Erasing Flash Memory ... OK"},
        TimeoutCase{0, "silent-at=FWD#40", "2. Flash Memory Writting ..."},
        TimeoutCase{1, "silent-at=FRD#17", "3. Verify Flash Memory ..."},
        TimeoutCase{0, "silent-at=FWC", "4. Flash Memory Configuation Bits Writting ..."},
        TimeoutCase{0, "silent-at=FRC", "5. Vreify Flash Memory Configuation Bits ..."}));

struct MismatchCase {
  int type;
  std::string fault;
  // Where the changed byte stands: its HEX file address, and its place in the image as
  // loaded (an offset in the program image, or a configuration register).
  std::int64_t address;
  std::size_t offset;
  bool inConfig;
  std::uint8_t flipped;  // the bits the programmer changed
};
void PrintTo(const MismatchCase& c, std::ostream* os) {
  *os << "type " << c.type << " " << (c.fault.empty() ? "config" : c.fault);
}

class FlashMismatch : public ::testing::TestWithParam<MismatchCase> {};

TEST_P(FlashMismatch, LogsTheTypesNgTextAndFails) {
  const MismatchCase& c = GetParam();
  const bool config = c.fault.empty();
  SequenceFixture bench(config ? std::vector<std::string>{} : std::vector{c.fault});
  if (config) {
    // The programmer's flash gives back one configuration bit changed.
    bench.OnFrame([&](const sim::Frame& frame) {
      if (frame.command == Command::FlashReadConfig) bench.model->Memory().flash.config[0] ^= 0x40;
    });
  }
  EXPECT_EQ(bench.Store(c.type, Files().ForType(c.type)), RunOutcome::Failed);
  const MemoryImage& image = bench.station.image;
  std::string ng;
  if (config) {
    ng = "5. Vreify Flash Memory Configuation Bits ... NG";
  } else if (c.type == 0) {
    ng = "3. Verify Flash Memory ... NG";  // type 0 shows no values
  } else {
    const std::uint16_t now = c.type == 3 ? WindowByteSum1K(image) : FlashReadBackSum16(image);
    ng = "3. Verify Flash Memory ... NG ( std : 0x" + HexLower(image.ImageChecksum, 4) +
         " , now : 0x" + HexLower(now, 4) + " )";
  }
  const MemoryImage& file = *bench.station.fileImage.get();
  const std::uint8_t was = c.inConfig ? file.ConfigBytes[c.offset] : file.ProgramImage[c.offset];
  const Lines log = bench.Log();
  EXPECT_THAT(Lines(log.end() - 3, log.end()),
              ElementsAreArray(Lines{ng, OneByteDifferenceText(c.address, was, c.flipped),
                                     "PROGRAMMING FAILED. (T)"}));
  if (c.type == 0 && !config) {
    EXPECT_EQ(bench.CountReceived(Command::FlashWriteConfig), 0u);
  }
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(
    EachRule, FlashMismatch,
    // The fault flips bit 0 of the second byte of flash block 0: image
    // offset 1, the high byte of the first type-0 word, the low byte of
    // the first 16-bit word.
    ::testing::Values(MismatchCase{0, "corrupt-flash-readback", 2, 1, false, 0x01},
                      MismatchCase{1, "corrupt-flash-readback", 0, 1, false, 0x01},
                      MismatchCase{2, "corrupt-flash-readback", 0, 1, false, 0x01},
                      MismatchCase{3, "corrupt-flash-readback", 0xFC00, 1, false, 0x01},
                      MismatchCase{0, "", 0x1F00000, 0, true, 0x40}));  // configuration

class FlashShortReadBack : public ::testing::TestWithParam<int> {};

// Every flash block comes back half, and the half that never came is blank in the image
// anyway: the sums would agree, but a read-back with data missing verifies nothing.
TEST_P(FlashShortReadBack, FailsTheVerifyLineThoughTheSumsWouldAgree) {
  const int type = GetParam();
  TempFolder dir;
  const std::string small = dir.Write("small.hex", testing::SmallHex(type));
  SequenceFixture whole;
  ASSERT_EQ(whole.Store(type, small), RunOutcome::Succeeded);

  SequenceFixture bench({"short-reply=FRD"});
  EXPECT_EQ(bench.Store(type, small), RunOutcome::Failed);
  const Lines log = bench.Log();
  EXPECT_THAT(Lines(log.end() - 2, log.end()),
              ElementsAreArray(Lines{"3. Verify Flash Memory ... NG", "PROGRAMMING FAILED. (T)"}));
  EXPECT_EQ(bench.CountReceived(Command::FlashWriteConfig), 0u);
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(EachType, FlashShortReadBack, ::testing::Values(0, 1, 2, 3));

TEST(FlashDownload, ACloseRequestDuringTheWriteEndsTheRunAtOnce) {
  SequenceFixture bench;
  bench.OnFrame([&](const sim::Frame& frame) {
    if (frame.command == Command::FlashWriteData) bench.control.closeRequested = true;
  });
  EXPECT_EQ(bench.Store(0, Files().type0), RunOutcome::Interrupted);
  EXPECT_EQ(bench.CountReceived(Command::FlashWriteData), 1u);
  EXPECT_EQ(bench.loop.TicksDelivered(), 0);
  ExpectIdleAfterEndRun(bench);
}

// Once FlashErase has gone out the programmer erases whatever the host does next, and its
// count is right only when the host stores the new one. A close request that comes during
// the erase, or while the count is stored, waits for both acknowledgements and ends the run
// before the write; one that comes before the erase ends it at once, nothing erased.
struct CloseCase {
  Command closeAt;
  bool erased;
};
void PrintTo(const CloseCase& c, std::ostream* os) {
  *os << "close at command " << static_cast<int>(c.closeAt);
}

class FlashClose : public ::testing::TestWithParam<CloseCase> {};

TEST_P(FlashClose, CountsEveryEraseThatWasSent) {
  SequenceFixture bench({"erase-counter=41"});
  bench.OnFrame([&](const sim::Frame& frame) {
    if (frame.command == GetParam().closeAt) bench.control.closeRequested = true;
  });
  EXPECT_EQ(bench.Store(0, Files().type0), RunOutcome::Interrupted);
  std::vector<Command> expected = {Command::BeginRun, Command::ReadEraseCounter};
  if (GetParam().erased)
    expected.insert(expected.end(), {Command::FlashErase, Command::WriteEraseCounter});
  expected.push_back(Command::EndRun);
  EXPECT_EQ(bench.Received(), expected);
  EXPECT_EQ(bench.model->Memory().flash.EraseCounter, GetParam().erased ? 42u : 41u);
  if (GetParam().erased) {
    EXPECT_EQ(bench.Log().back(), "1. Bulk Erasing Flash Memory ... OK");
  }
  EXPECT_EQ(bench.loop.TicksDelivered(), 0);
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(Steps, FlashClose,
                         ::testing::Values(CloseCase{Command::ReadEraseCounter, false},
                                           CloseCase{Command::FlashErase, true},
                                           CloseCase{Command::WriteEraseCounter, true}));

// The erase that a close waits for is still bounded by the flash time-out; with no
// acknowledgement nothing says the flash was erased, and no count is stored.
TEST(FlashDownload, AnEraseThatNeverEndsTimesOutThoughACloseWaitsForIt) {
  SequenceFixture bench({"silent-at=FE"});
  bench.OnFrame([&](const sim::Frame& frame) {
    if (frame.command == Command::FlashErase) bench.control.closeRequested = true;
  });
  EXPECT_EQ(bench.Store(3, Files().type3), RunOutcome::TimedOut);
  EXPECT_EQ(bench.loop.TicksDelivered(), kFlashTimeoutTicks);
  const Lines log = bench.Log();
  EXPECT_THAT(
      Lines(log.end() - 2, log.end()),
      ElementsAreArray(Lines{"TimeOut !! No response with target !!", "PROGRAMMING FAILED. (T)"}));
  EXPECT_EQ(bench.CountReceived(Command::WriteEraseCounter), 0u);
  ExpectIdleAfterEndRun(bench);
}

// A NUL every half second during the write, and no acknowledgement of a block: the store
// ends after the flash steps' bound, 160 ticks, not never.
TEST(FlashDownload, ABlockNeverAnsweredAmidNoiseTimesOut) {
  SequenceFixture bench({"silent-at=FWD#3"});
  for (int n = 1; n <= 800; ++n) bench.InjectAfter(std::chrono::milliseconds(500 * n), {0x00});
  EXPECT_EQ(bench.Store(0, Files().type0), RunOutcome::TimedOut);
  EXPECT_EQ(bench.loop.TicksDelivered(), kFlashTimeoutTicks * kAnswerLimitFactor);
  const Lines log = bench.Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_THAT(
      Lines(log.end() - 4, log.end()),
      ElementsAreArray(Lines{"2. Flash Memory Writting ...",
                             "<<WARNING>> The KV-218 sent bytes but no answer for 160 "
                             "seconds",
                             "TimeOut !! No response with target !!", "PROGRAMMING FAILED. (T)"}));
  ExpectIdleAfterEndRun(bench);
}

TEST(FlashDownload, WithoutAFileOnlyWarns) {
  SequenceFixture bench;
  EXPECT_EQ(bench.Store(0, ""), RunOutcome::NoFile);
  EXPECT_EQ(bench.window.log, (Lines{"", "<<WARNING>> Please load file first !!"}));
  EXPECT_TRUE(bench.Received().empty());
}

}  // namespace
}  // namespace kv218

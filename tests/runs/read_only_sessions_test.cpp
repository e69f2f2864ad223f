// Verifying and reading a target or the programmer's flash against the simulated programmer
// in-process, on virtual time: what the sessions log, that they send nothing but read frames,
// where they say a board differs, and that a read comes back through the loader unchanged.

#include "runs/read_only_sessions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "ground/text.h"
#include "image/hex_loader.h"
#include "image/hex_writer.h"
#include "runs/read_back_check.h"
#include "test_hex.h"
#include "testkit/sequence_fixture.h"

namespace kv218 {
namespace {

using sim::Command;
using ::testing::ElementsAreArray;
using testing::ExpectIdleAfterEndRun;
using testing::OneByteDifferenceText;
using testing::SequenceFixture;
using ::testing::StartsWith;
using testing::TempFolder;

using Lines = std::vector<std::string>;

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

const testing::TypeFiles& Files() {
  static const testing::TypeFiles files(true);
  return files;
}

const std::set<Command> kTargetReads = {
    Command::BeginRun, Command::ReadDeviceId, Command::ReadStart,  Command::ReadSetAddress,
    Command::ReadData, Command::ReadEnd,      Command::ReadConfig, Command::EndRun};
const std::set<Command> kFlashReads = {Command::BeginRun, Command::FlashReadData,
                                       Command::FlashReadConfig, Command::EndRun};

// The commands received from index `from` on, in a set.
std::set<Command> CommandsSince(const SequenceFixture& bench, std::size_t from) {
  return std::set<Command>(bench.Received().begin() + static_cast<std::ptrdiff_t>(from),
                           bench.Received().end());
}

// The lines after the last run's loader lines (or, for a session without a file, after the
// earlier runs' lines).
Lines LinesSince(const SequenceFixture& bench, std::size_t from) {
  const Lines log = bench.Log();
  return Lines(log.begin() + static_cast<std::ptrdiff_t>(from), log.end());
}

// --- verify, target -----------------------------------------------------------------------

struct PassCase {
  int type;
  Lines lines;
};
void PrintTo(const PassCase& c, std::ostream* os) { *os << "type " << c.type; }

class VerifyTargetPass : public ::testing::TestWithParam<PassCase> {};

TEST_P(VerifyTargetPass, ReadsTheBoardItProgrammedWithReadFramesOnly) {
  const PassCase& c = GetParam();
  SequenceFixture bench;
  ASSERT_EQ(bench.Program(c.type, Files().ForType(c.type)), RunOutcome::Succeeded);
  const std::size_t sent = bench.Received().size();
  const std::size_t dataBlocks = bench.CountReceived(Command::ReadData);
  const std::size_t logged = bench.Log().size();

  EXPECT_EQ(bench.Run(&RunVerifyTarget, c.type, Files().ForType(c.type)), RunOutcome::Succeeded);
  const Lines lines = LinesSince(bench, logged);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_THAT(lines[2], StartsWith("Loading ... OK"));  // the program run's loading lines
  EXPECT_THAT(Lines(lines.begin() + 3, lines.end()), ElementsAreArray(c.lines));
  // The same read-back as the program run's, and nothing that writes.
  EXPECT_EQ(bench.CountReceived(Command::ReadData), 2 * dataBlocks);
  const std::set<Command> sentSince = CommandsSince(bench, sent);
  EXPECT_TRUE(
      std::includes(kTargetReads.begin(), kTargetReads.end(), sentSince.begin(), sentSince.end()));
  ExpectIdleAfterEndRun(bench);
}

const Lines kVerify16 = {"",
                         "VERIFYING TARGET ... (T)",
                         "1. Reading Device ID ... OK ( 0x1C , 0x24 )",
                         "2. Reading Program Memory ... OK",
                         "3. Verify Program Memory ... OK",
                         "VERIFY SUCCEEDED. (T)"};

INSTANTIATE_TEST_SUITE_P(
    EachType, VerifyTargetPass,
    ::testing::Values(
        PassCase{0,
                 {"", "VERIFYING TARGET ... (T)", "1. Reading Device ID ... OK ( 0xBF , 0x2118 )",
                  "2. Reading Program Memory ... OK", "3. Verify Program Memory ... OK",
                  "4. Reading Configuration Bits ... OK", "5. Verify Configuration Bits ... OK",
                  "VERIFY SUCCEEDED. (T)"}},
        PassCase{1, kVerify16}, PassCase{2, kVerify16}));

// One byte of the board changed after programming.
enum class Area { Words24, Config24, Memory16, Flash, FlashConfig };

struct ChangeCase {
  std::string name;
  int type;
  Area area;
  std::size_t at;        // word, register, byte or flash offset in the simulator's memory
  int place;             // Words24: the byte of the word (0 low, 1 middle, 2 high)
  std::uint8_t flip;     // the bits changed
  std::uint8_t mask;     // the bits the verification looks at (configuration copies)
  std::int64_t address;  // the HEX file address the aside must name; -1: the change passes
  std::string step;      // the NG line's start
};
void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

// Changes the byte and returns its earlier value, masked as the verification sees it.
std::uint8_t Change(sim::DeviceMemory& memory, const ChangeCase& c) {
  std::uint8_t* byte = nullptr;
  switch (c.area) {
    case Area::Words24: {
      std::uint32_t& word = memory.target.words24[c.at];
      const std::uint8_t was = static_cast<std::uint8_t>(word >> (8 * c.place));
      word ^= std::uint32_t{c.flip} << (8 * c.place);
      return was;
    }
    case Area::Config24:
      byte = &memory.target.config24[c.at];
      break;
    case Area::Memory16:
      byte = &memory.target.memory16[static_cast<std::size_t>(c.type - 1)][c.at];
      break;
    case Area::Flash:
      byte = &memory.flash.rows[c.at];
      break;
    case Area::FlashConfig:
      byte = &memory.flash.config[c.at];
      break;
  }
  const std::uint8_t was = static_cast<std::uint8_t>(*byte & c.mask);
  *byte ^= c.flip;
  return was;
}

class VerifyChangedBoard : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(VerifyChangedBoard, FailsNamingTheFirstDifferenceOrPassesWhereNothingLooks) {
  const ChangeCase& c = GetParam();
  const bool flash = c.area == Area::Flash || c.area == Area::FlashConfig;
  SequenceFixture bench;
  const std::string& file = Files().ForType(c.type);
  ASSERT_EQ(flash ? bench.Store(c.type, file) : bench.Program(c.type, file), RunOutcome::Succeeded);
  const std::uint8_t was = Change(bench.model->Memory(), c);

  const RunOutcome outcome = bench.Run(flash ? &RunVerifyFlash : &RunVerifyTarget, c.type, file);
  const Lines log = bench.Log();
  if (c.address < 0) {
    EXPECT_EQ(outcome, RunOutcome::Succeeded);
    EXPECT_EQ(log.back(), "VERIFY SUCCEEDED. (T)");
    return;
  }
  EXPECT_EQ(outcome, RunOutcome::Failed);
  ASSERT_GE(log.size(), 3u);
  EXPECT_THAT(log[log.size() - 3], StartsWith(c.step + " NG"));
  EXPECT_EQ(log[log.size() - 2], OneByteDifferenceText(c.address, was, c.flip & c.mask));
  EXPECT_EQ(log.back(), "VERIFY FAILED. (T)");
  ExpectIdleAfterEndRun(bench);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, VerifyChangedBoard,
    ::testing::Values(
        // Type-0 word n sits at file address 4n, low byte first.
        ChangeCase{"type0_word", 0, Area::Words24, 0x123, 1, 0x10, 0xFF, 4 * 0x123 + 1,
                   "3. Verify Program Memory ..."},
        ChangeCase{"type0_config", 0, Area::Config24, 3, 0, 0x04, 0xFF, 0x1F0000C,
                   "5. Verify Configuration Bits ..."},
        ChangeCase{"type1_program", 1, Area::Memory16, 0x0101, 0, 0x10, 0xFF, 0x0101,
                   "3. Verify Program Memory ..."},
        // The rows a type-1 target never gives back are not looked at.
        ChangeCase{"type1_protected", 1, Area::Memory16, 0x7500, 0, 0x10, 0xFF, -1, ""},
        ChangeCase{"type2_program", 2, Area::Memory16, 0x0FFF, 0, 0x80, 0xFF, 0x0FFF,
                   "3. Verify Program Memory ..."},
        // Register 0's copy: only the bits of its mask E1 count.
        ChangeCase{"type2_config", 2, Area::Memory16, 0x7FF8, 0, 0x01, 0xE1, 0x7FF8,
                   "3. Verify Program Memory ..."},
        ChangeCase{"type2_config_unmasked", 2, Area::Memory16, 0x7FF8, 0, 0x02, 0xE1, -1, ""},
        // The flash holds the image's rows as sent: type 0 groups reversed, pairs swapped.
        ChangeCase{"flash0", 0, Area::Flash, 0x100, 0, 0x01, 0xFF, 0x103,
                   "2. Verify Flash Memory ..."},
        ChangeCase{"flash0_config", 0, Area::FlashConfig, 5, 0, 0x08, 0xFF, 0x1F00014,
                   "4. Verify Flash Memory Configuration Bits ..."},
        ChangeCase{"flash1", 1, Area::Flash, 0x7402, 0, 0x01, 0xFF, 0x7403,
                   "2. Verify Flash Memory ..."},
        ChangeCase{"flash3", 3, Area::Flash, 0x21, 0, 0x40, 0xFF, 0xFC20,
                   "2. Verify Flash Memory ..."}),
    CaseName<ChangeCase>);

TEST(VerifyTarget, ARejectedIdentityEndsBeforeAnythingIsRead) {
  SequenceFixture bench({"bad-identity"});
  EXPECT_EQ(bench.Run(&RunVerifyTarget, 0, Files().type0), RunOutcome::Failed);
  EXPECT_EQ(bench.Received(),
            (std::vector<Command>{Command::BeginRun, Command::ReadDeviceId, Command::EndRun}));
  const Lines log = bench.Log();
  EXPECT_THAT(log[log.size() - 2], StartsWith("1. Reading Device ID ... NG"));
  EXPECT_EQ(log.back(), "VERIFY FAILED. (T)");
  ExpectIdleAfterEndRun(bench);
}

TEST(VerifyTarget, ASilentProgrammerTimesOutWithTheVerifyFailureLine) {
  SequenceFixture bench({"silent-at=RDD#3"});
  EXPECT_EQ(bench.Run(&RunVerifyTarget, 2, Files().type16), RunOutcome::TimedOut);
  const Lines log = bench.Log();
  EXPECT_THAT(
      Lines(log.end() - 3, log.end()),
      ElementsAreArray(Lines{"2. Reading Program Memory ...",
                             "TimeOut !! No response with target !!", "VERIFY FAILED. (T)"}));
  EXPECT_EQ(bench.loop.TicksDelivered(), kTargetTimeoutTicks);
  ExpectIdleAfterEndRun(bench);
}

TEST(VerifyTarget, Type3HasNoReadCommandAndNothingIsSent) {
  SequenceFixture bench;
  for (auto session : {&RunVerifyTarget, &RunReadTarget}) {
    EXPECT_EQ(bench.Run(session, 3, Files().type3), RunOutcome::Failed);
  }
  EXPECT_TRUE(bench.Received().empty());
  EXPECT_EQ(bench.window.errors.size(), 2u);
  EXPECT_TRUE(bench.window.buttonsEnabled);
  EXPECT_FALSE(bench.loop.TickTimerOn());
}

TEST(VerifyFlash, LeavesTheEraseCounterAndSendsOnlyFlashReads) {
  for (int type = 0; type <= 3; ++type) {
    SCOPED_TRACE(type);
    SequenceFixture bench;
    ASSERT_EQ(bench.Store(type, Files().ForType(type)), RunOutcome::Succeeded);
    const std::uint32_t counter = bench.model->Memory().flash.EraseCounter;
    const std::size_t sent = bench.Received().size();
    const std::size_t logged = bench.Log().size();
    EXPECT_EQ(bench.Run(&RunVerifyFlash, type, Files().ForType(type)), RunOutcome::Succeeded);
    EXPECT_EQ(bench.model->Memory().flash.EraseCounter, counter);
    const std::set<Command> sentSince = CommandsSince(bench, sent);
    EXPECT_TRUE(
        std::includes(kFlashReads.begin(), kFlashReads.end(), sentSince.begin(), sentSince.end()));
    Lines expected = {"", "VERIFYING KV-218 ... (T)", "1. Reading Flash Memory ... OK",
                      "2. Verify Flash Memory ... OK"};
    if (type == 0) {
      expected.insert(expected.end(), {"3. Reading Flash Memory Configuration Bits ... OK",
                                       "4. Verify Flash Memory Configuration Bits ... OK"});
    }
    expected.push_back("VERIFY SUCCEEDED. (T)");
    const Lines lines = LinesSince(bench, logged + 3);
    EXPECT_THAT(lines, ElementsAreArray(expected));
  }
}

// --- mended: agreeing sums over different bytes -------------------------------------------

// Two bytes of the read-back changed in opposite directions (bit 0 set on one whose bit 0 is
// clear, cleared on one whose bit 0 is set): every sum the runs compare stays the same.
struct AgreeingSumsCase {
  std::string name;
  int type;
  bool store;
};
void PrintTo(const AgreeingSumsCase& c, std::ostream* os) { *os << c.name; }

class AgreeingSums : public ::testing::TestWithParam<AgreeingSumsCase> {};

TEST_P(AgreeingSums, AreAFailureThatNamesTheFirstOfTheDifferences) {
  const AgreeingSumsCase& c = GetParam();
  SequenceFixture bench;
  std::int64_t firstAddress = -1;
  bool changed = false;
  // Flips bit 0 of the first byte of each parity among count bytes, and notes the lower file
  // address of the two.
  auto changeTwo = [&](auto byteAt, std::size_t count, auto addressOf) {
    std::ptrdiff_t even = -1, odd = -1;
    for (std::size_t i = 0; i < count; ++i) {
      std::ptrdiff_t& slot = byteAt(i) % 2 == 0 ? even : odd;
      if (slot < 0) slot = static_cast<std::ptrdiff_t>(i);
    }
    ASSERT_GE(even, 0);
    ASSERT_GE(odd, 0);
    byteAt(static_cast<std::size_t>(even)) ^= 1;
    byteAt(static_cast<std::size_t>(odd)) ^= 1;
    firstAddress = std::min(addressOf(static_cast<std::size_t>(even)),
                            addressOf(static_cast<std::size_t>(odd)));
    changed = true;
  };
  bench.OnFrame([&](const sim::Frame& frame) {
    if (changed) return;
    sim::DeviceMemory& memory = bench.model->Memory();
    if (!c.store && frame.command == Command::ReadStart && c.type == 0) {
      // The low bytes of the first words: their big-endian word sums move by +1 and -1.
      changeTwo(
          [&](std::size_t i) -> std::uint8_t& {
            return reinterpret_cast<std::uint8_t*>(&memory.target.words24[i])[0];
          },
          64, [](std::size_t i) { return static_cast<std::int64_t>(4 * i); });
    } else if (!c.store && frame.command == Command::ReadStart) {
      changeTwo([&](std::size_t i) -> std::uint8_t& { return memory.target.memory16[1][i]; },
                0x1000, [](std::size_t i) { return static_cast<std::int64_t>(i); });
    } else if (c.store && frame.command == Command::FlashReadData) {
      changeTwo([&](std::size_t i) -> std::uint8_t& { return memory.flash.rows[i]; }, 0x400,
                [](std::size_t i) { return static_cast<std::int64_t>(0xFC00 + (i ^ 1)); });
    }
  });
  const std::string& file = Files().ForType(c.type);
  EXPECT_EQ(c.store ? bench.Store(c.type, file) : bench.Program(c.type, file), RunOutcome::Failed);
  ASSERT_TRUE(changed);
  const std::uint16_t std_ = bench.station.image.ImageChecksum;
  const std::string ng = (c.store ? "3. Verify Flash Memory ..." : "5. Verify Program Memory ...") +
                         MismatchText(std_, std_, c.type == 0);
  const Lines log = bench.Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], ng);
  EXPECT_THAT(log[log.size() - 2], StartsWith("First difference at 0x" +
                                              Hex(static_cast<std::uint64_t>(firstAddress), 4)));
  EXPECT_THAT(log[log.size() - 2], ::testing::EndsWith("(2 bytes differ)"));
  EXPECT_EQ(log.back(), "PROGRAMMING FAILED. (T)");
  EXPECT_EQ(bench.CountReceived(Command::ResetTarget), 0u);
}

INSTANTIATE_TEST_SUITE_P(Runs, AgreeingSums,
                         ::testing::Values(AgreeingSumsCase{"program_type0", 0, false},
                                           AgreeingSumsCase{"program_type2", 2, false},
                                           AgreeingSumsCase{"store_type3", 3, true}),
                         CaseName<AgreeingSumsCase>);

// --- read, and back through the loader ----------------------------------------------------

struct RoundTripCase {
  std::string name;
  int type;
  bool flash;
};
void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class ReadRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// The bytes a load of the type fills from its file, and whether they stand in rows the
// target reads back as filler.
bool Compared(const RoundTripCase& c, std::size_t offset) {
  if (c.type == 0) return offset < kProgramRows24 * kRowBytes;
  if (c.type == 3) return offset < kProgramRows1K * kRowBytes;
  const bool protectedRow = c.type == 1 && !c.flash && offset >= 0x7400 && offset < 0x7C00;
  return offset < 0x7FFE && !protectedRow;
}

TEST_P(ReadRoundTrip, LoadsBackToTheImageAndConfigurationOfTheFileWritten) {
  const RoundTripCase& c = GetParam();
  SequenceFixture bench;
  const std::string& file = Files().ForType(c.type);
  ASSERT_EQ(c.flash ? bench.Store(c.type, file) : bench.Program(c.type, file),
            RunOutcome::Succeeded);
  const std::size_t sent = bench.Received().size();
  ASSERT_EQ(bench.Run(c.flash ? &RunReadFlash : &RunReadTarget, c.type), RunOutcome::Succeeded);
  EXPECT_EQ(bench.Log().back(), "READ SUCCEEDED. (T)");
  const std::set<Command> sentSince = CommandsSince(bench, sent);
  const std::set<Command>& reads = c.flash ? kFlashReads : kTargetReads;
  EXPECT_TRUE(std::includes(reads.begin(), reads.end(), sentSince.begin(), sentSince.end()));

  TempFolder dir;
  const std::string written =
      dir.Write("read.hex", HexTextOf(bench.station.image, TargetTypeAt(c.type)));
  auto original = std::make_unique<MemoryImage>();
  auto reloaded = std::make_unique<MemoryImage>();
  const TargetType type = TargetTypeAt(c.type);
  ASSERT_TRUE(LoadImage(*original, file, type, bench.window, bench.loop).ok());
  // Strictly: every record checksum right, data and an end-of-file record there.
  ASSERT_TRUE(LoadImage(*reloaded, written, type, bench.window, bench.loop, {.strict = true}).ok());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < kImageBytes; ++i) {
    if (Compared(c, i) && original->ProgramImage[i] != reloaded->ProgramImage[i]) ++differing;
  }
  EXPECT_EQ(differing, 0u);
  const std::size_t registers = c.type == 0 ? kConfigCount : c.type == 3 ? 0 : 6;
  for (std::size_t k = 0; k < registers; ++k) {
    EXPECT_EQ(original->ConfigBytes[k], reloaded->ConfigBytes[k]) << "register " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ReadRoundTrip,
    ::testing::Values(RoundTripCase{"target0", 0, false}, RoundTripCase{"target1", 1, false},
                      RoundTripCase{"target2", 2, false}, RoundTripCase{"flash0", 0, true},
                      RoundTripCase{"flash1", 1, true}, RoundTripCase{"flash3", 3, true}),
    CaseName<RoundTripCase>);

TEST(ReadTarget, Type0ReadsTheWholeProgramWindowAndTheConfiguration) {
  SequenceFixture bench;
  EXPECT_EQ(bench.Run(&RunReadTarget, 0), RunOutcome::Succeeded);
  // 21,888 rows in blocks of 256: 86 blocks, the address set again after every fourth.
  EXPECT_EQ(bench.CountReceived(Command::ReadData), 86u);
  EXPECT_THAT(bench.Log(),
              ElementsAreArray(Lines{
                  "", "READING TARGET ... (T)", "1. Reading Device ID ... OK ( 0xBF , 0x2118 )",
                  "2. Reading Program Memory ... OK", "3. Reading Configuration Bits ... OK",
                  "READ SUCCEEDED. (T)"}));
  ExpectIdleAfterEndRun(bench);
}

}  // namespace
}  // namespace kv218

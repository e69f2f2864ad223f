// The effect of every reply the programmer gives: log text, flags, counters, follow-up frames,
// gauge and image bytes.

#include "protocol/reply_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "reply_harness.h"

namespace kv218 {
namespace {

using test::B;
using test::Bytes;
using test::Lead;
using test::operator+;
using test::ReplyHarness;
using test::Stamped;

const std::string kStep = "step ...";

ReplyFlags Target(TargetFlags target) {
  ReplyFlags flags;
  flags.target = target;
  return flags;
}

ReplyFlags FlashGroup(FlashFlags flash) {
  ReplyFlags flags;
  flags.flash = flash;
  return flags;
}

struct ReplyCase {
  const char* name;
  int targetType = 0;
  void (*arrange)(ReplyHarness&) = nullptr;
  Bytes bytes;
  std::vector<std::string> log = {kStep};  // the whole log after the read
  ReplyFlags flags = {};
  std::vector<std::string> followUps = {};
  std::vector<int> progress = {};  // as asked for
  int pumps = 0;
  void (*check)(const Station&) = nullptr;  // counters and bytes the case is about
};

class ReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyTest, HasExactlyItsEffects) {
  const ReplyCase& c = GetParam();
  ReplyHarness h;
  h.window.targetType = c.targetType;
  h.window.AppendLog(kStep);
  if (c.arrange != nullptr) c.arrange(h);
  h.Receive(c.bytes);
  EXPECT_EQ(h.window.log, c.log);
  EXPECT_EQ(test::FlagRow(h.station.flags), test::FlagRow(c.flags));
  EXPECT_EQ(h.followUp.calls, c.followUps);
  EXPECT_EQ(h.window.progressCalls, c.progress);
  EXPECT_EQ(h.loop.pumps, c.pumps);
  if (c.check != nullptr) c.check(h.station);
}

struct CaseName {
  template <class Info>
  std::string operator()(const Info& p) const {
    return p.param.name;
  }
};

// --- identity, acknowledgements, results, notes ---------------------------------------------

void StaleIdentity(ReplyHarness& h) { h.LeaveInBuffer(Lead("RI") + B({0xBF, 0x00, 0x34, 0x12})); }
void StaleConfig(ReplyHarness& h) {
  h.LeaveInBuffer(Lead("RC") + B({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}
void StaleCounter(ReplyHarness& h) {
  h.LeaveInBuffer(Lead("FRE") + B({0, 0, 0, 1}));
  h.station.transfer.EraseCounter = 7;
}
const Bytes kTwelve = B({0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B});
void ExpectTwelveConfigBytes(const Station& s) {
  EXPECT_EQ(Bytes(s.image.ConfigBytes.begin(), s.image.ConfigBytes.end()), kTwelve);
}
void ExpectConfigUntouched(const Station& s) {
  EXPECT_EQ(Bytes(s.image.ConfigBytes.begin(), s.image.ConfigBytes.end()), Bytes(12, 0));
}

const ReplyCase kSimpleReplies[] = {
    {.name = "IdentityType0Accepted",
     .bytes = Lead("RI") + B({0xBF, 0x00, 0x34, 0x12}),
     .log = {"step ... OK ( 0xBF , 0x1234 )"},
     .flags = Target({.DeviceIdResult = 1})},
    {.name = "IdentityType0Rejected",
     .bytes = Lead("RI") + B({0x00, 0x01, 0x00, 0x00}),
     .log = {"step ... NG ( 0x100 , 0x0000 )"},
     .flags = Target({.DeviceIdResult = 2})},
    {.name = "IdentityType0CutShortIsNotTakenFromOldBytes",
     .arrange = StaleIdentity,
     .bytes = Lead("RI") + B({0xBF, 0x00, 0x34})},
    {.name = "IdentityType1Accepted",
     .bytes = Lead("8RI") + B({0x20, 0x1C}),
     .log = {"step ... OK ( 0x1C , 0x20 )"},
     .flags = Target({.DeviceIdResult = 1})},
    {.name = "IdentityType1Rejected",
     .bytes = Lead("8RI") + B({0x1F, 0x1C}),
     .log = {"step ... NG ( 0x1C , 0x1F )"},
     .flags = Target({.DeviceIdResult = 2})},
    {.name = "IdentityType2AcceptedWithOtherBits",
     .bytes = Lead("9RI") + B({0xFF, 0x1C}),
     .log = {"step ... OK ( 0x1C , 0xFF )"},
     .flags = Target({.DeviceIdResult = 1})},
    {.name = "IdentityType2WithoutBit20",
     .bytes = Lead("9RI") + B({0xDF, 0x1C}),
     .log = {"step ... NG ( 0x1C , 0xDF )"},
     .flags = Target({.DeviceIdResult = 2})},
    {.name = "IdentityType2OtherCode",
     .bytes = Lead("9RI") + B({0x20, 0x1D}),
     .log = {"step ... NG ( 0x1D , 0x20 )"},
     .flags = Target({.DeviceIdResult = 2})},
    {.name = "ConfigWritten",
     .bytes = Lead("WC"),
     .log = {"step ... OK"},
     .flags = Target({.ConfigWriteDone = 1})},
    {.name = "ConfigReadStoresTwelveBytes",
     .bytes = Lead("RC") + kTwelve,
     .log = {"step ... OK"},
     .flags = Target({.ConfigReadDone = 1}),
     .check = ExpectTwelveConfigBytes},
    {.name = "ConfigReadCutShortIsNotTakenFromOldBytes",
     .arrange = StaleConfig,
     .bytes = Lead("RC") + B({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
     .check = ExpectConfigUntouched},
    {.name = "EraseType0AnyByte",
     .bytes = Lead("E") + B({0x77}),
     .log = {"step ... OK"},
     .flags = Target({.EraseDone = 1})},
    {.name = "EraseType0ByteNotLookedAt",
     .bytes = Lead("E"),
     .log = {"step ... OK"},
     .flags = Target({.EraseDone = 1})},
    {.name = "EraseType1",
     .bytes = Lead("8E"),
     .log = {"step ... OK"},
     .flags = Target({.EraseDone = 1})},
    {.name = "EraseType2",
     .bytes = Lead("9E"),
     .log = {"step ... OK"},
     .flags = Target({.EraseDone = 1})},
    {.name = "ResetAnyByte",
     .bytes = Lead("S") + B({0x00}),
     .log = {"step ... OK"},
     .flags = Target({.ResetDone = 1})},
    {.name = "AutoProgramSucceeded",
     .targetType = 3,
     .bytes = Lead("TA") + B({0x01}),
     .log = {"step ... OK", Stamped("PROGRAMMING SUCCEEDED. (")},
     .flags = Target({.DeviceIdResult = 1}),
     .progress = {100},
     .pumps = 1},
    {.name = "AutoProgramFailedStillEndsTheWait",
     .targetType = 3,
     .bytes = Lead("TA") + B({0x00}),
     .log = {"step ... NG", Stamped("PROGRAMMING FAILED. (")},
     .flags = Target({.DeviceIdResult = 1}),
     .progress = {100},
     .pumps = 1},
    {.name = "FlashEraseType0",
     .bytes = Lead("FE"),
     .log = {"step ... OK"},
     .flags = FlashGroup({.FlashEraseDone = 1})},
    {.name = "FlashEraseType1",
     .bytes = Lead("8FE"),
     .log = {"step ... OK"},
     .flags = FlashGroup({.FlashEraseDone = 1})},
    {.name = "FlashEraseType2",
     .bytes = Lead("9FE"),
     .log = {"step ... OK"},
     .flags = FlashGroup({.FlashEraseDone = 1})},
    {.name = "FlashEraseType3",
     .bytes = Lead("TFE"),
     .log = {"step ... OK"},
     .flags = FlashGroup({.FlashEraseDone = 1})},
    {.name = "FlashConfigWritten",
     .bytes = Lead("FWC"),
     .flags = FlashGroup({.FlashConfigWriteDone = 1})},
    {.name = "FlashConfigReadStoresTwelveBytes",
     .bytes = Lead("FRC") + kTwelve,
     .flags = FlashGroup({.FlashConfigReadDone = 1}),
     .check = ExpectTwelveConfigBytes},
    {.name = "EraseCounterBelowLimit",
     .bytes = Lead("FRE") + B({0x00, 0x01, 0x86, 0x9F}),
     .log = {kStep, "", "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): 99999"},
     .flags = FlashGroup({.EraseCounterState = 1}),
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.EraseCounter, 99999u); }},
    {.name = "EraseCounterAtLimit",
     .bytes = Lead("FRE") + B({0x00, 0x01, 0x86, 0xA0}),
     .log = {kStep, "", "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): 100000"},
     .flags = FlashGroup({.EraseCounterState = 2}),
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.EraseCounter, 100000u); }},
    {.name = "EraseCounterLargestIsUnsigned",
     .bytes = Lead("FRE") + B({0xFF, 0xFF, 0xFF, 0xFF}),
     .log = {kStep, "", "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): 4294967295"},
     .flags = FlashGroup({.EraseCounterState = 2}),
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.EraseCounter, 0xFFFFFFFFu); }},
    {.name = "EraseCounterCutShortIsNotTakenFromOldBytes",
     .arrange = StaleCounter,
     .bytes = Lead("FRE") + B({0x00, 0x00, 0x00}),
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.EraseCounter, 7u); }},
    {.name = "CounterWritten", .bytes = Lead("FWE"), .flags = FlashGroup({.CounterWriteDone = 1})},
    {.name = "ReplyAfterOtherBytesIsNotDecoded",
     .bytes = B({0x00}) + Lead("RI") + B({0xBF, 0x00, 0x34, 0x12})},
    {.name = "LoneLeadByteDoesNotReadOldLetters", .arrange = StaleIdentity, .bytes = B({0x1F})},
    {.name = "UnknownLetters", .bytes = Lead("ZZ") + B({1, 2, 3})},
};
INSTANTIATE_TEST_SUITE_P(Replies, ReplyTest, ::testing::ValuesIn(kSimpleReplies), CaseName());

// --- block transfer steps -------------------------------------------------------------------

// A type-0 image of 86 blocks (HighestAddress 0x2ABFF) in the middle of a read-back.
template <std::int32_t Blocks, std::int32_t Offset, std::int64_t Highest = 0x2ABFF>
void ReadingType0(ReplyHarness& h) {
  h.station.image.HighestAddress = Highest;
  h.station.transfer.ReadPhase = 2;
  h.station.transfer.ReadBlocks = Blocks;
  h.station.transfer.ReadOffset = Offset;
}

template <std::int32_t Phase, std::int32_t Blocks, std::int32_t Page, std::int32_t Offset>
void ExpectRead(const Station& s) {
  EXPECT_EQ(s.transfer.ReadPhase, Phase);
  EXPECT_EQ(s.transfer.ReadBlocks, Blocks);
  EXPECT_EQ(s.transfer.ReadPage, Page);
  EXPECT_EQ(s.transfer.ReadOffset, Offset);
}

void DirtyTransfer(ReplyHarness& h) {
  TransferState& t = h.station.transfer;
  t.ReadPhase = 3;
  t.ReadBlocks = 9;
  t.ReadRow = 99;
  t.ReadPage = 2;
  t.ReadOffset = 0x800;
}

template <std::int32_t WriteBlocks, std::int64_t Highest = 0x2ABFF>
void Writing(ReplyHarness& h) {
  h.station.image.HighestAddress = Highest;
  h.station.transfer.WritePhase = 1;
  h.station.transfer.WriteBlocks = WriteBlocks;
}

template <std::int32_t Phase, std::int32_t Blocks>
void ExpectWrite(const Station& s) {
  EXPECT_EQ(s.transfer.WritePhase, Phase);
  EXPECT_EQ(s.transfer.WriteBlocks, Blocks);
}

template <std::int32_t FlashBlocks, std::int32_t ReadRow = 0>
void Flash(ReplyHarness& h) {
  h.station.transfer.FlashBlocks = FlashBlocks;
  h.station.transfer.ReadRow = ReadRow;
}

template <std::int32_t FlashBlocks, std::int32_t ReadRow = 0>
void ExpectFlash(const Station& s) {
  EXPECT_EQ(s.transfer.FlashBlocks, FlashBlocks);
  EXPECT_EQ(s.transfer.ReadRow, ReadRow);
}

const Bytes kFlashBlock = Lead("FRD") + Bytes(2048, 0x5C);
const Bytes kFlashBlock1K = Lead("FRD") + Bytes(1024, 0x5C);

const ReplyCase kTransferSteps[] = {
    {.name = "ReadStartType0ZeroesTheCounters",
     .arrange = DirtyTransfer,
     .bytes = Lead("RDS"),
     .followUps = {"ReadProgram"},
     .check =
         [](const Station& s) {
           ExpectRead<1, 0, 0, 0>(s);
           EXPECT_EQ(s.transfer.ReadRow, 0);
         }},
    {.name = "ReadAddressSet",
     .arrange = [](ReplyHarness& h) { h.station.transfer.ReadPhase = 4; },
     .bytes = Lead("RDC"),
     .followUps = {"ReadProgram"},
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.ReadPhase, 2); }},
    {.name = "ReadDataFourthBlockAsksForAnAddress",
     .arrange = ReadingType0<3, 0x1800>,
     .bytes = Lead("RDD"),
     .followUps = {"ReadProgram"},
     .progress = {4},
     .pumps = 1,
     .check = ExpectRead<4, 4, 0, 0x2000>},
    {.name = "ReadDataFifthBlockAsksForData",
     .arrange = ReadingType0<4, 0x2000>,
     .bytes = Lead("RDD"),
     .followUps = {"ReadProgram"},
     .progress = {5},
     .pumps = 1,
     .check = ExpectRead<2, 5, 0, 0x2800>},
    {.name = "ReadDataThirtySecondBlockWrapsToTheNextPage",
     .arrange = ReadingType0<31, 0xF800>,
     .bytes = Lead("RDD"),
     .followUps = {"ReadProgram"},
     .progress = {37},
     .pumps = 1,
     .check = ExpectRead<4, 32, 1, 0>},
    {.name = "ReadDataLastOf86BlocksAsksForTheEnd",
     .arrange = ReadingType0<85, 0x2800>,
     .bytes = Lead("RDD"),
     .followUps = {"ReadProgram"},
     .progress = {100},
     .pumps = 1,
     .check = ExpectRead<3, 86, 0, 0x3000>},
    {.name = "ReadDataLastOf64BlocksStillAsksForAnAddress",
     .arrange = ReadingType0<63, 0xF800, 0x1FFFF>,
     .bytes = Lead("RDD"),
     .followUps = {"ReadProgram"},
     .progress = {100},
     .pumps = 1,
     .check = ExpectRead<4, 64, 1, 0>},
    {.name = "ReadDataOneBlockPast64AsksForTheEnd",
     .arrange = ReadingType0<64, 0, 0x1FFFF>,
     .bytes = Lead("RDD"),
     .followUps = {"ReadProgram"},
     .progress = {101},
     .pumps = 1,
     .check = ExpectRead<3, 65, 0, 0x800>},
    {.name = "ReadDataSingleBlockImage",
     .arrange = ReadingType0<0, 0, 0>,
     .bytes = Lead("RDD"),
     .followUps = {"ReadProgram"},
     .progress = {100},
     .pumps = 1,
     .check = ExpectRead<3, 1, 0, 0x800>},
    {.name = "ReadEndType0",
     .arrange = [](ReplyHarness& h) { h.station.transfer.ReadPhase = 3; },
     .bytes = Lead("RDE"),
     .log = {"step ... OK"},
     .flags = Target({.ReadDone = 1}),
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.ReadPhase, 0); }},
    {.name = "ReadStartType1KeepsPageAndOffset",
     .arrange = DirtyTransfer,
     .bytes = Lead("8RDS"),
     .followUps = {"ReadProgram/0"},
     .check =
         [](const Station& s) {
           ExpectRead<1, 0, 2, 0x800>(s);
           EXPECT_EQ(s.transfer.ReadRow, 0);
         }},
    {.name = "ReadStartType2",
     .arrange = DirtyTransfer,
     .bytes = Lead("9RDS"),
     .followUps = {"ReadProgram/1"}},
    {.name = "ReadDataType1AsksForMore",
     .arrange =
         [](ReplyHarness& h) {
           h.station.transfer.ReadPhase = 1, h.station.transfer.ReadBlocks = 30;
         },
     .bytes = Lead("8RDD"),
     .followUps = {"ReadProgram/0"},
     .progress = {96},
     .pumps = 1,
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.ReadPhase, 1); }},
    {.name = "ReadDataType2ThirtySecondBlockFinishes",
     .arrange =
         [](ReplyHarness& h) {
           h.station.transfer.ReadPhase = 1, h.station.transfer.ReadBlocks = 31;
         },
     .bytes = Lead("9RDD") + Bytes(1024, 0x5A),
     .log = {"step ... OK"},
     .flags = Target({.ReadDone = 1}),
     .progress = {100},
     .pumps = 1,
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.ReadPhase, 0); }},
    // Data that never arrived cannot be read back: the read-back ends, but as one that failed.
    {.name = "ReadDataType1ShortLastBlockFinishesNg",
     .targetType = 1,
     .arrange =
         [](ReplyHarness& h) {
           h.station.transfer.ReadPhase = 1, h.station.transfer.ReadBlocks = 31;
         },
     .bytes = Lead("8RDD") + Bytes(1023, 0x5A),
     .log = {"step ... NG"},
     .flags = Target({.ReadDone = 2}),
     .progress = {100},
     .pumps = 1,
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.ShortBlocks, 1); }},
    {.name = "ReadEndType0AfterAShortBlockNg",
     .arrange =
         [](ReplyHarness& h) {
           h.station.transfer.ReadPhase = 3, h.station.transfer.ShortBlocks = 1;
         },
     .bytes = Lead("RDE"),
     .log = {"step ... NG"},
     .flags = Target({.ReadDone = 2}),
     .check = [](const Station& s) { EXPECT_EQ(s.transfer.ReadPhase, 0); }},
    {.name = "WriteStartType0",
     .bytes = Lead("WDS"),
     .followUps = {"WriteProgram"},
     .check = ExpectWrite<1, 0>},
    {.name = "WriteDataType0AsksForMore",
     .arrange = Writing<84>,
     .bytes = Lead("WDD"),
     .followUps = {"WriteProgram"},
     .progress = {98},
     .pumps = 1,
     .check = ExpectWrite<1, 85>},
    {.name = "WriteDataType0EightySixthBlockFinishes",
     .arrange = Writing<85>,
     .bytes = Lead("WDD"),
     .log = {"step ... OK"},
     .flags = Target({.WriteDone = 1}),
     .progress = {100},
     .pumps = 1,
     .check = ExpectWrite<0, 86>},
    {.name = "WriteStartType1",
     .bytes = Lead("8WS"),
     .followUps = {"WriteProgram/0"},
     .check = ExpectWrite<1, 0>},
    {.name = "WriteStartType2",
     .bytes = Lead("9WS"),
     .followUps = {"WriteProgram/1"},
     .check = ExpectWrite<1, 0>},
    {.name = "WriteDataType1AsksForMore",
     .arrange = Writing<0>,
     .bytes = Lead("8WD"),
     .followUps = {"WriteProgram/0"},
     .progress = {3},
     .pumps = 1,
     .check = ExpectWrite<1, 1>},
    {.name = "WriteDataType2ThirtySecondBlockFinishes",
     .arrange = Writing<31>,
     .bytes = Lead("9WD"),
     .log = {"step ... OK"},
     .flags = Target({.WriteDone = 1}),
     .progress = {100},
     .pumps = 1,
     .check = ExpectWrite<0, 32>},
    {.name = "FlashWriteType0AsksForBlock85",
     .arrange = Flash<84>,
     .bytes = Lead("FWD"),
     .followUps = {"FlashWriteData"},
     .progress = {100},
     .check = ExpectFlash<85>},
    {.name = "FlashWriteType0Block86FinishesAtGauge101",
     .arrange = Flash<85>,
     .bytes = Lead("FWD"),
     .flags = FlashGroup({.FlashWriteDone = 1}),
     .progress = {101},
     .check = ExpectFlash<86>},
    {.name = "FlashWriteType1AsksForBlock8",
     .targetType = 1,
     .arrange = Flash<7>,
     .bytes = Lead("FWD"),
     .followUps = {"FlashWriteData"},
     .progress = {100},
     .check = ExpectFlash<8>},
    {.name = "FlashWriteType2Finishes",
     .targetType = 2,
     .arrange = Flash<8>,
     .bytes = Lead("FWD"),
     .flags = FlashGroup({.FlashWriteDone = 1}),
     .progress = {112},
     .check = ExpectFlash<9>},
    {.name = "FlashWriteType3OneBlock",
     .targetType = 3,
     .bytes = Lead("FWD"),
     .flags = FlashGroup({.FlashWriteDone = 1}),
     .progress = {100},
     .check = ExpectFlash<1>},
    {.name = "FlashWriteNoTypeOnlyCounts",
     .targetType = -1,
     .bytes = Lead("FWD"),
     .check = ExpectFlash<1>},
    {.name = "FlashReadType0FirstBlock",
     .bytes = kFlashBlock,
     .followUps = {"FlashReadData"},
     .progress = {0},
     .check = ExpectFlash<1, 128>},
    {.name = "FlashReadType0Block171Finishes",
     .arrange = Flash<170, 21760>,
     .bytes = kFlashBlock,
     .flags = FlashGroup({.FlashReadDone = 1}),
     .progress = {100},
     .check = ExpectFlash<171, 21888>},
    {.name = "FlashReadType0ShortLastBlockFinishesShort",
     .arrange = Flash<170, 21760>,
     .bytes = Lead("FRD") + Bytes(2047, 0x5A),
     .flags = FlashGroup({.FlashReadDone = 2}),
     .progress = {100},
     .check = ExpectFlash<171, 21888>},
    {.name = "FlashReadType1AsksForMore",
     .targetType = 1,
     .arrange = Flash<15, 1920>,
     .bytes = kFlashBlock,
     .followUps = {"FlashReadData"},
     .progress = {100},
     .check = ExpectFlash<16, 2048>},
    {.name = "FlashReadType2Block17Finishes",
     .targetType = 2,
     .arrange = Flash<16, 2048>,
     .bytes = kFlashBlock,
     .flags = FlashGroup({.FlashReadDone = 1}),
     .progress = {106},
     .check = ExpectFlash<17, 2176>},
    {.name = "FlashReadType3LeavesReadRow",
     .targetType = 3,
     .arrange = Flash<0, 500>,
     .bytes = kFlashBlock1K,
     .flags = FlashGroup({.FlashReadDone = 1}),
     .progress = {100},
     .check = ExpectFlash<1, 500>},
    {.name = "FlashReadNoTypeOnlyCounts",
     .targetType = 4,
     .bytes = kFlashBlock,
     .check = ExpectFlash<1, 0>},
};
INSTANTIATE_TEST_SUITE_P(TransferSteps, ReplyTest, ::testing::ValuesIn(kTransferSteps), CaseName());

// --- read-back data in the image ------------------------------------------------------------

// A type-0 data reply of `groups` groups; group g, word k carries the bytes g, k, 0xA0+k.
Bytes WordsReply(std::size_t groups, std::size_t tail = 0) {
  Bytes reply = Lead("RDD");
  for (std::size_t g = 0; g < groups; ++g) {
    for (std::size_t k = 0; k < 4; ++k) {
      reply.push_back(static_cast<std::uint8_t>(g));
      reply.push_back(static_cast<std::uint8_t>(k));
      reply.push_back(static_cast<std::uint8_t>(0xA0 + k));
    }
  }
  for (std::size_t i = 0; i < tail; ++i) reply.push_back(0xEE);
  return reply;
}

// The row a WordsReply group becomes: each word as pad, high, middle, low.
Bytes WordsRow(std::size_t g) {
  Bytes row;
  for (std::size_t k = 0; k < 4; ++k) {
    row.insert(row.end(), {0x00, static_cast<std::uint8_t>(0xA0 + k), static_cast<std::uint8_t>(k),
                           static_cast<std::uint8_t>(g)});
  }
  return row;
}

Bytes Row(const Station& s, std::size_t row) {
  const auto* p = s.image.ProgramImage.data() + row * kRowBytes;
  return Bytes(p, p + kRowBytes);
}

const Bytes kPresetRow =
    B({0, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF});

struct ReadBack : ::testing::Test {
  ReadBack() {
    for (std::size_t r = 0; r < kImageRows; ++r) {
      std::copy(kPresetRow.begin(), kPresetRow.end(),
                h.station.image.ProgramImage.begin() + static_cast<std::ptrdiff_t>(r * kRowBytes));
    }
    h.station.image.HighestAddress = 0x2ABFF;
    h.station.transfer.ReadPhase = 2;
  }
  ReplyHarness h;
};

TEST_F(ReadBack, Type0WordsArriveLowByteFirst) {
  h.Receive(Lead("RDD") + B({0x11, 0x22, 0x33}) + Bytes(9 + 12 * 255, 0));
  EXPECT_EQ(Row(h.station, 0), B({0x00, 0x33, 0x22, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ReadBack, Type0FullBlockFillsItsRows) {
  h.station.transfer.ReadRow = 256;
  h.Receive(WordsReply(256));
  for (std::size_t g = 0; g < 256; ++g) ASSERT_EQ(Row(h.station, 256 + g), WordsRow(g)) << g;
  EXPECT_EQ(Row(h.station, 255), kPresetRow);
  EXPECT_EQ(Row(h.station, 512), kPresetRow);
  EXPECT_EQ(h.station.transfer.ReadRow, 512);
}

TEST_F(ReadBack, Type0ShortBlockKeepsThePresetAndItsPlace) {
  h.Receive(WordsReply(256));    // block 0 in full: leaves its bytes in RxBuffer
  h.Receive(WordsReply(10, 5));  // block 1: ten whole groups and a piece of the eleventh
  for (std::size_t g = 0; g < 10; ++g) ASSERT_EQ(Row(h.station, 256 + g), WordsRow(g)) << g;
  for (std::size_t r = 266; r < 512; ++r) ASSERT_EQ(Row(h.station, r), kPresetRow) << r;
  EXPECT_EQ(h.station.transfer.ReadRow, 512);
  h.Receive(WordsReply(256));  // block 2 lands where block 2 belongs
  EXPECT_EQ(Row(h.station, 512), WordsRow(0));
  EXPECT_EQ(h.station.transfer.ReadBlocks, 3);
  EXPECT_EQ(h.station.transfer.ShortBlocks, 1);
}

TEST_F(ReadBack, Type0RowsPastTheImageAreDropped) {
  h.station.transfer.ReadRow = static_cast<std::int32_t>(kImageRows) - 26;
  h.Receive(WordsReply(256));
  EXPECT_EQ(Row(h.station, kImageRows - 26), WordsRow(0));
  EXPECT_EQ(Row(h.station, kImageRows - 1), WordsRow(25));
  EXPECT_EQ(h.station.transfer.ReadRow, static_cast<std::int32_t>(kImageRows) + 230);
  h.Receive(WordsReply(256));  // wholly outside: counted, nothing written
  EXPECT_EQ(h.station.transfer.ReadBlocks, 2);
  EXPECT_EQ(Row(h.station, kImageRows - 1), WordsRow(25));
}

// A types 1 and 2 data reply of `rows` rows; row r carries the pairs (r, m).
Bytes PairsReply(char family, std::size_t rows, std::size_t tail = 0) {
  Bytes reply = Lead(std::string(1, family) + "RDD");
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t m = 0; m < 8; ++m) {
      reply.push_back(static_cast<std::uint8_t>(r));
      reply.push_back(static_cast<std::uint8_t>(0x30 + m));
    }
  }
  for (std::size_t i = 0; i < tail; ++i) reply.push_back(0xEE);
  return reply;
}

Bytes PairsRow(std::size_t r) {
  Bytes row;
  for (std::size_t m = 0; m < 8; ++m) {
    row.push_back(static_cast<std::uint8_t>(0x30 + m));
    row.push_back(static_cast<std::uint8_t>(r));
  }
  return row;
}

TEST_F(ReadBack, Type1PairsAreSwapped) {
  h.station.transfer.ReadPhase = 1;
  h.Receive(Lead("8RDD") + B({0x34, 0x12}) + Bytes(14 + 16 * 63, 0));
  EXPECT_EQ(Row(h.station, 0), B({0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ReadBack, Type2FullAndShortBlocks) {
  h.station.transfer.ReadPhase = 1;
  h.Receive(PairsReply('9', 64));
  h.Receive(PairsReply('9', 3, 7));
  for (std::size_t r = 0; r < 64; ++r) ASSERT_EQ(Row(h.station, r), PairsRow(r)) << r;
  for (std::size_t r = 0; r < 3; ++r) ASSERT_EQ(Row(h.station, 64 + r), PairsRow(r)) << r;
  for (std::size_t r = 67; r < 128; ++r) ASSERT_EQ(Row(h.station, r), kPresetRow) << r;
  EXPECT_EQ(h.station.transfer.ReadRow, 128);
  EXPECT_EQ(h.station.transfer.ReadBlocks, 2);
  EXPECT_EQ(h.station.transfer.ShortBlocks, 1);
}

Bytes Counting(std::size_t n, std::uint8_t from) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(from + i);
  return out;
}

TEST_F(ReadBack, FlashBlockStoresItsBytesInOrder) {
  h.station.transfer.ReadRow = 128;
  h.Receive(Lead("FRD") + Counting(2048, 3));
  const auto& image = h.station.image.ProgramImage;
  EXPECT_TRUE(
      std::equal(image.begin() + 128 * 16, image.begin() + 256 * 16, Counting(2048, 3).begin()));
  EXPECT_EQ(Row(h.station, 127), kPresetRow);
  EXPECT_EQ(Row(h.station, 256), kPresetRow);
}

TEST_F(ReadBack, ShortFlashBlockCopiesOnlyWhatArrived) {
  h.Receive(Lead("FRD") + Counting(2048, 3));
  h.Receive(Lead("FRD") + Counting(100, 9));
  const auto& image = h.station.image.ProgramImage;
  EXPECT_TRUE(std::equal(image.begin() + 128 * 16, image.begin() + 128 * 16 + 100,
                         Counting(100, 9).begin()));
  // The rest of row 134 keeps the preset, not the first block's bytes.
  EXPECT_TRUE(
      std::equal(image.begin() + 128 * 16 + 100, image.begin() + 135 * 16, kPresetRow.begin() + 4));
  for (std::size_t r = 135; r < 256; ++r) ASSERT_EQ(Row(h.station, r), kPresetRow) << r;
  EXPECT_EQ(h.station.transfer.ReadRow, 256);
  EXPECT_EQ(h.station.transfer.ShortBlocks, 1);
}

TEST_F(ReadBack, FlashBlockStopsAtTheEndOfTheImage) {
  h.station.transfer.ReadRow = static_cast<std::int32_t>(kImageRows) - 2;
  h.Receive(Lead("FRD") + Counting(2048, 0));
  EXPECT_EQ(Row(h.station, kImageRows - 1), Counting(16, 16));
  EXPECT_EQ(h.station.transfer.ReadRow, static_cast<std::int32_t>(kImageRows) + 126);
}

TEST_F(ReadBack, Type3FlashBlockFillsRows0To63) {
  h.window.targetType = 3;
  h.station.transfer.ReadRow = 900;
  h.Receive(Lead("FRD") + Counting(1024, 1));
  const auto& image = h.station.image.ProgramImage;
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 1024, Counting(1024, 1).begin()));
  EXPECT_EQ(Row(h.station, 64), kPresetRow);
  EXPECT_EQ(h.station.transfer.ReadRow, 900);
  EXPECT_EQ(h.station.flags.flash.FlashReadDone, 1);
}

TEST(ReplyGroups, FlashRepliesLeaveTheTargetGroupAndTheReverse) {
  ReplyHarness h;
  h.station.flags.target = {1, 1, 1, 1, 1, 1, 1};
  h.Receive(Lead("FE"));
  h.Receive(Lead("FWE"));
  EXPECT_EQ(test::FlagRow(h.station.flags),
            (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 0, 0, 0, 0}));
  h.station.flags = {};
  h.station.flags.flash = {2, 1, 1, 1, 1, 1, 1};
  h.Receive(Lead("E"));
  h.Receive(Lead("S"));
  EXPECT_EQ(test::FlagRow(h.station.flags),
            (std::vector<int>{0, 1, 0, 0, 0, 0, 1, 2, 1, 1, 1, 1, 1, 1}));
}

// Only the answer to the command sent last is taken, and only once: a late or repeated reply
// to an earlier command leaves the step as it was.
struct UnaskedCase {
  const char* name;
  Bytes sent;   // the frame the host sent last (empty: none since the start)
  int answers;  // how many of the replies below answer it
  std::vector<Bytes> replies;
};

void PrintTo(const UnaskedCase& c, std::ostream* os) { *os << c.name; }

class UnaskedReply : public ::testing::TestWithParam<UnaskedCase> {};

TEST_P(UnaskedReply, IsNotTakenAsTheAcknowledgement) {
  const UnaskedCase& c = GetParam();
  ReplyHarness h;
  h.window.targetType = 1;
  h.window.AppendLog(kStep);
  if (!c.sent.empty()) h.Await(c.sent);
  for (const Bytes& reply : c.replies) h.ReceiveUnasked(reply);
  const std::vector<std::string> log = {c.answers == 0 ? kStep : kStep + " OK"};
  EXPECT_EQ(h.window.log, log);
  EXPECT_EQ(h.station.flags.target.EraseDone + h.station.flags.target.DeviceIdResult +
                h.station.flags.target.ResetDone,
            c.answers);
}

const UnaskedCase kUnasked[] = {
    // The identity read a second time while the erase is awaited: "2. Bulk Erasing ... OK (
    // 0x1C , 0x20 ) OK" once, with the identity values on the erase's line.
    {"AnEarlierCommandsReplyRepeated",
     Lead("8E"),
     1,
     {Lead("8RI") + B({0x20, 0x1C}), Lead("8E") + B({0x00})}},
    {"TheSameReplyTwice", Lead("8E"), 1, {Lead("8E") + B({0x00}), Lead("8E") + B({0x00})}},
    {"AReplyOfAnotherFamily", Lead("8E"), 0, {Lead("9E") + B({0x00}), Lead("E") + B({0x00})}},
    {"AReplyWithNothingSent", {}, 0, {Lead("8RI") + B({0x20, 0x1C})}},
};
INSTANTIATE_TEST_SUITE_P(Replies, UnaskedReply, ::testing::ValuesIn(kUnasked), CaseName());

TEST(UnaskedReply, ABlocksPayloadDoesNotStandInForItsHeader) {
  // The write's data frame carries rows after "WDD": only a "WDD" reply answers it.
  ReplyHarness h;
  h.station.image.HighestAddress = 0x2ABFF;
  h.Await(Lead("WDD") + Bytes(3 * 1024, 0x53));
  h.ReceiveUnasked(Lead("WDS"));
  EXPECT_TRUE(h.followUp.calls.empty());
  h.ReceiveUnasked(Lead("WDD"));
  EXPECT_EQ(h.followUp.calls, std::vector<std::string>{"WriteProgram"});
}

}  // namespace
}  // namespace kv218

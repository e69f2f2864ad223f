// Where a burst that begins with a reply ends when the host does not wait for the gap: at the
// reply's whole length, the status reports inside it counted in, and nowhere else; and until
// the reply's own bytes are all here, no pause shorter than kLongestPauseInReply ends it.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "port/burst_wait.h"
#include "protocol/reply_decoder.h"

namespace kv218 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The first `whole` bytes of a reply: the lead byte, the letters, then fill.
Bytes Head(const std::string& letters, std::size_t whole, std::uint8_t fill = 0x11) {
  Bytes bytes(whole, fill);
  for (std::size_t i = 0; i < whole; ++i) {
    if (i == 0) bytes[i] = 0x1F;
    if (i >= 1 && i <= letters.size()) bytes[i] = static_cast<std::uint8_t>(letters[i - 1]);
  }
  return bytes;
}

Bytes Insert(Bytes bytes, std::size_t at, const Bytes& inner) {
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), inner.begin(), inner.end());
  return bytes;
}

Bytes Append(Bytes bytes, const Bytes& tail) {
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

constexpr auto kOpen = BurstSoFar::Open;
constexpr auto kAwaiting = BurstSoFar::Awaiting;
constexpr auto kWhole = BurstSoFar::Whole;
constexpr TargetType kNoRun = TargetType::None;  // no run has told the type yet

struct EndCase {
  const char* name;
  Bytes burst;
  BurstSoFar judged;
  TargetType targetType = TargetType::TkSeries;
};

const Bytes kCodeReport = {0x1B, 'S', 0x02, 0x12, 0x34};

const EndCase kEndCases[] = {
    {"IdentityWhole", Head("RI", 7), kWhole},
    {"IdentityOneShort", Head("RI", 6), kAwaiting},
    {"IdentityOneOver", Head("RI", 8), kOpen},
    {"Type1Identity", Head("8RI", 6), kWhole},
    {"EraseWithItsByte", Head("E", 3), kWhole},
    {"EraseWithoutItsByte", Head("E", 2), kAwaiting},
    {"ResetWithItsByte", Head("S", 3), kWhole},
    {"Acknowledgement", Head("WDD", 4), kWhole},
    // Until the head is all here the length is not known: the gap ends it.
    {"HeadNotYetKnown", Head("R", 2), kOpen},
    {"ConfigurationRead", Head("RC", 15), kWhole},
    {"EraseCounter", Head("FRE", 8), kWhole},
    {"Type0DataBlock", Head("RDD", 3076), kWhole},
    {"Type0DataBlockHalf", Head("RDD", 1540), kAwaiting},
    {"Type0DataBlockOneShort", Head("RDD", 3075), kAwaiting},
    {"Type1DataBlock", Head("8RDD", 1029), kWhole},
    {"Type1DataBlockHeadOnly", Head("8RDD", 5), kAwaiting},
    // A flash data block is 4 + 2,048 bytes, for type 3 4 + 1,024: the run's type tells.
    {"FlashDataBlock", Head("FRD", 2052), kWhole},
    {"FlashDataBlockHalf", Head("FRD", 1028), kAwaiting},
    {"Type3FlashDataBlock", Head("FRD", 1028), kWhole, TargetType::EcoMode},
    {"Type3FlashDataBlockOver", Head("FRD", 2052), kOpen, TargetType::EcoMode},
    {"FlashDataBlockNoRunYet", Head("FRD", 1027), kAwaiting, kNoRun},
    {"FlashDataBlockNoRunYetShortest", Head("FRD", 1028), kOpen, kNoRun},
    {"FlashDataBlockNoRunYetLongest", Head("FRD", 2052), kOpen, kNoRun},
    {"ReportInsideData", Insert(Head("RDD", 3076), 1500, kCodeReport), kWhole},
    {"ReportInsideDataEarly", Insert(Head("RDD", 2000), 1500, kCodeReport), kAwaiting},
    // The reply's own length is reached: whatever is missing is no longer waited for.
    {"ReportInsideDataNotAllThere", Insert(Head("RDD", 3075), 1500, kCodeReport), kOpen},
    {"ShortReportInsideData", Insert(Head("FRD", 2052), 9, {0x1B, 'S', 0x07}), kWhole},
    // Read-back data that looks like a report: a whole block is left to the gap, as ever, and
    // never waited for longer.
    {"DataLikeAReport", Insert(Head("RDD", 3073), 100, {0x1B, 'S', 0x02}), kOpen},
    {"DataLikeAReportHalf", Insert(Head("RDD", 1500), 100, {0x1B, 'S', 0x02}), kAwaiting},
    {"EscAtTheEnd", Append(Head("RDD", 3075), {0x1B}), kOpen},
    {"EscSAtTheEnd", Append(Head("RDD", 3074), {0x1B, 'S'}), kOpen},
    {"EscOtherAtTheEnd", Append(Head("RDD", 3074), {0x1B, 'T'}), kWhole},
    {"EscInsideAnAwaitedReply", Append(Head("RDD", 1000), {0x1B}), kAwaiting},
    // Read together with the reply, a report right behind it counts in as well.
    {"ReportJoinedToTheReply", Append(Head("WDD", 4), kCodeReport), kWhole},
    {"NoiseBeforeTheReply", Append({0x55, 0xAA}, Head("RI", 7)), kOpen},
    {"NoiseBeforeAHalfBlock", Append({0x55, 0xAA}, Head("RDD", 1500)), kOpen},
    {"FactorySettingNote", {0x1F, '-', 'S'}, kOpen},
    {"Note", {0x1F, '-', 'F', 'W', ' ', '1'}, kOpen},
    {"StatusReport", kCodeReport, kOpen},
    {"KeepAlive", {0x00}, kOpen},
};

void PrintTo(const EndCase& c, std::ostream* out) { *out << c.name; }

class ReplyEndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(ReplyEndTest, AwaitsAndEndsOnlyAReplyOfKnownLength) {
  const EndCase& c = GetParam();
  ReplyEnd end;
  if (c.targetType != kNoRun) end.ExpectTargetType(c.targetType);
  EXPECT_EQ(end.Judge(c.burst.data(), c.burst.size()), c.judged);
}

INSTANTIATE_TEST_SUITE_P(Bursts, ReplyEndTest, ::testing::ValuesIn(kEndCases),
                         [](const auto& endCase) { return std::string(endCase.param.name); });

// How long a read waits for the next byte: the gap, the longer pause inside an awaited reply,
// or not at all once the burst is whole; silence framing (no BurstEnd) always the gap.
TEST(NextByteWaitTest, FollowsTheJudgementOfTheBurstSoFar) {
  ReplyEnd end;
  end.ExpectTargetType(TargetType::TkSeries);
  const Bytes half = Head("RDD", 1540);
  const Bytes whole = Head("RDD", 3076);
  const Bytes note = {0x1F, '-', 'F', 'W'};
  EXPECT_EQ(NextByteWait(&end, half.data(), half.size()), kLongestPauseInReply);
  EXPECT_EQ(NextByteWait(&end, whole.data(), whole.size()), std::nullopt);
  EXPECT_EQ(NextByteWait(&end, note.data(), note.size()), kBurstGap);
  for (const Bytes* bytes : {&half, &whole, &note}) {
    EXPECT_EQ(NextByteWait(nullptr, bytes->data(), bytes->size()), kBurstGap);
  }
}

}  // namespace
}  // namespace kv218

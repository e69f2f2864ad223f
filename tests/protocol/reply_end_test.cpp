// Where a burst that begins with a reply ends when the host does not wait for the gap: at the
// reply's whole length, the status reports inside it counted in, and nowhere else.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "protocol/reply_decoder.h"

namespace kv218 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Head(const std::string& letters, std::size_t whole, std::uint8_t fill = 0x11) {
  Bytes bytes = {0x1F};
  bytes.insert(bytes.end(), letters.begin(), letters.end());
  bytes.resize(whole, fill);
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

struct EndCase {
  const char* name;
  Bytes burst;
  bool complete;
};

const Bytes kCodeReport = {0x1B, 'S', 0x02, 0x12, 0x34};

const EndCase kEndCases[] = {
    {"IdentityWhole", Head("RI", 7), true},
    {"IdentityOneShort", Head("RI", 6), false},
    {"IdentityOneOver", Head("RI", 8), false},
    {"Type1Identity", Head("8RI", 6), true},
    {"EraseWithItsByte", Head("E", 3), true},
    {"EraseWithoutItsByte", Head("E", 2), false},
    {"ResetWithItsByte", Head("S", 3), true},
    {"Acknowledgement", Head("WDD", 4), true},
    {"HeadNotYetKnown", Head("R", 2), false},
    {"ConfigurationRead", Head("RC", 15), true},
    {"EraseCounter", Head("FRE", 8), true},
    {"Type0DataBlock", Head("RDD", 3076), true},
    {"Type0DataBlockOneShort", Head("RDD", 3075), false},
    {"Type1DataBlock", Head("8RDD", 1029), true},
    {"FlashDataBlock", Head("FRD", 2052), true},
    // A type-3 flash block is 4 + 1,024 bytes: left to the gap.
    {"Type3FlashDataBlock", Head("FRD", 1028), false},
    {"ReportInsideData", Insert(Head("RDD", 3076), 1500, kCodeReport), true},
    {"ReportInsideDataNotAllThere", Insert(Head("RDD", 3075), 1500, kCodeReport), false},
    {"ShortReportInsideData", Insert(Head("FRD", 2052), 9, {0x1B, 'S', 0x07}), true},
    {"EscAtTheEnd", Append(Head("RDD", 3075), {0x1B}), false},
    {"EscSAtTheEnd", Append(Head("RDD", 3074), {0x1B, 'S'}), false},
    {"EscOtherAtTheEnd", Append(Head("RDD", 3074), {0x1B, 'T'}), true},
    // Read together with the reply, a report right behind it counts in as well.
    {"ReportJoinedToTheReply", Append(Head("WDD", 4), kCodeReport), true},
    {"NoiseBeforeTheReply", Append({0x55, 0xAA}, Head("RI", 7)), false},
    {"FactorySettingNote", {0x1F, '-', 'S'}, false},
    {"Note", {0x1F, '-', 'F', 'W', ' ', '1'}, false},
    {"StatusReport", kCodeReport, false},
    {"KeepAlive", {0x00}, false},
};

void PrintTo(const EndCase& c, std::ostream* out) { *out << c.name; }

class ReplyEndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(ReplyEndTest, EndsOnlyAWholeReply) {
  const EndCase& c = GetParam();
  const ReplyEnd end;
  EXPECT_EQ(end.Complete(c.burst.data(), c.burst.size()), c.complete);
}

INSTANTIATE_TEST_SUITE_P(Bursts, ReplyEndTest, ::testing::ValuesIn(kEndCases),
                         [](const auto& endCase) { return std::string(endCase.param.name); });

}  // namespace
}  // namespace kv218

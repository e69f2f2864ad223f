// A programmer that keeps acknowledging long past the end of a transfer: the block counters
// stop at their largest value instead of overflowing into negative ones (which would restart
// the gauge and the transfer from a nonsense block).

#include <gtest/gtest.h>

#include <cstdint>

#include "protocol/frames.h"
#include "protocol_doubles.h"
#include "reply_harness.h"
#include "testkit/recording_port.h"

namespace kv218 {
namespace {

using test::Bytes;
using test::Lead;
using test::operator+;
using test::ReplyHarness;

constexpr std::int32_t kMax = INT32_MAX;

struct LimitCase {
  const char* name;
  int targetType;
  Bytes reply;
  std::int32_t TransferState::*counter;
};

class CounterLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(CounterLimit, StopsAtTheLargestValue) {
  const LimitCase& c = GetParam();
  ReplyHarness h;
  h.window.targetType = c.targetType;
  h.station.transfer.*c.counter = kMax;
  h.Receive(c.reply);
  EXPECT_EQ(h.station.transfer.*c.counter, kMax);
}

const LimitCase kLimitCases[] = {
    {"Type0WriteBlocks", 0, Lead("WDD"), &TransferState::WriteBlocks},
    {"Type1WriteBlocks", 1, Lead("8WD"), &TransferState::WriteBlocks},
    {"Type0ReadBlocks", 0, Lead("RDD") + Bytes(12), &TransferState::ReadBlocks},
    {"Type0ReadOffset", 0, Lead("RDD") + Bytes(12), &TransferState::ReadOffset},
    {"Type2ReadBlocks", 2, Lead("9RDD") + Bytes(16), &TransferState::ReadBlocks},
    {"FlashWriteBlocks", 0, Lead("FWD"), &TransferState::FlashBlocks},
    {"FlashReadBlocks", 1, Lead("FRD") + Bytes(16), &TransferState::FlashBlocks},
};
INSTANTIATE_TEST_SUITE_P(Replies, CounterLimit, ::testing::ValuesIn(kLimitCases),
                         [](const ::testing::TestParamInfo<LimitCase>& param) {
                           return std::string(param.param.name);
                         });

TEST(CounterLimitFrames, WriteRowStopsAtTheLargestValue) {
  Station station;
  RecordingWindow window;
  test::RecordingPort port;
  station.port = &port;
  Frames frames(station, window);
  for (int family : {-1, 0}) {
    station.transfer.WritePhase = 1;
    station.transfer.WriteRow = kMax - 1;
    if (family < 0) {
      frames.WriteProgram();
    } else {
      frames.WriteProgram(family);
    }
    EXPECT_EQ(station.transfer.WriteRow, kMax) << family;
  }
}

}  // namespace
}  // namespace kv218

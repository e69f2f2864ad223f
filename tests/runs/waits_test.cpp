// The waits shared by both sequences, on virtual time.

#include "runs/waits.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "testkit/recording_port.h"
#include "testkit/recording_window.h"
#include "testkit/sequence_fixture.h"
#include "testkit/virtual_time_loop.h"

namespace kv218 {
namespace {

using Millis = std::chrono::milliseconds;
using Lines = std::vector<std::string>;

using test::RecordingPort;

const std::vector<std::uint8_t> kEndRun = {0x1F, 0x4D, 0x45};

class WaitsTest : public ::testing::Test {
 protected:
  WaitsTest() {
    station.port = &port;
    loop.SetTickHandler([this] { CountTick(station); });
    loop.SetTickTimer(true);
    window.buttonsEnabled = false;
  }
  RecordingWindow window;
  VirtualTimeLoop loop;
  Station station;
  RecordingPort port;
  Frames frames{station, window};
  RunControl control;
  RunContext run{station, window, loop, frames, control, {}};
  std::int32_t flag = 0;
};

TEST_F(WaitsTest, ReturnsOnceAMessageSetsTheFlag) {
  station.TimeOutCount = 5;  // zeroed by the wait
  loop.PostAfter(Millis(4500), [this] { flag = 1; });
  EXPECT_EQ(AwaitFlag(run, flag, kTargetTimeoutTicks), WaitResult::FlagSet);
  EXPECT_EQ(loop.TicksDelivered(), 4);
  EXPECT_TRUE(window.log.empty());
  EXPECT_TRUE(port.sent.empty());
  EXPECT_TRUE(loop.TickTimerOn());
}

TEST_F(WaitsTest, AFlagAlreadySetHandlesNoMessage) {
  flag = 2;
  bool handled = false;
  loop.Post([&] { handled = true; });
  EXPECT_EQ(AwaitFlag(run, flag, kFlashTimeoutTicks), WaitResult::FlagSet);
  EXPECT_FALSE(handled);
}

class WaitLimits : public WaitsTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(WaitLimits, GiveUpAfterExactlyTheLimitsSilentTicks) {
  EXPECT_EQ(AwaitFlag(run, flag, GetParam()), WaitResult::TimedOut);
  EXPECT_EQ(loop.TicksDelivered(), GetParam());
  ASSERT_EQ(window.log.size(), 2u);
  EXPECT_EQ(window.log[0], "TimeOut !! No response with target !!");
  EXPECT_EQ(window.log[1].rfind("PROGRAMMING FAILED. (", 0), 0u);
  EXPECT_EQ(window.log[1].back(), ')');
  // AbortRun: the tick timer off, buttons enabled, EndRun sent.
  EXPECT_FALSE(loop.TickTimerOn());
  EXPECT_TRUE(window.buttonsEnabled);
  EXPECT_EQ(port.sent, (std::vector<std::vector<std::uint8_t>>{kEndRun}));
}

INSTANTIATE_TEST_SUITE_P(TargetAndFlash, WaitLimits,
                         ::testing::Values(kTargetTimeoutTicks, kFlashTimeoutTicks));

TEST_F(WaitsTest, AnyArrivalRestartsTheSilenceCount) {
  // Something arrives every 5 ticks: the 6-tick limit is never reached until it stops.
  for (int n = 1; n <= 3; ++n) {
    loop.PostAfter(Millis(5000 * n + 500), [this] { station.TimeOutCount = 0; });
  }
  EXPECT_EQ(AwaitFlag(run, flag, kTargetTimeoutTicks), WaitResult::TimedOut);
  EXPECT_EQ(loop.TicksDelivered(), 15 + kTargetTimeoutTicks);
}

// Bytes every half second (noise on the line, a programmer stuck sending) keep the silence
// count down; the answer still has its bound, ten times the silence limit in ticks.
class AnswerLimits : public WaitsTest, public ::testing::WithParamInterface<std::int32_t> {
 protected:
  // A byte every 500 ms, for far longer than the bound (then silence, so that even a wait
  // without the bound ends).
  void Noise() {
    for (int n = 1; n <= 2 * (GetParam() * kAnswerLimitFactor + 100); ++n) {
      loop.PostAfter(Millis(500 * n), [this] { station.TimeOutCount = 0; });
    }
  }
};

TEST_P(AnswerLimits, EndTheWaitThoughBytesKeepArriving) {
  frames.BulkErase();  // the command whose answer never comes
  window.log.clear();
  port.sent.clear();
  Noise();
  EXPECT_EQ(AwaitFlag(run, flag, GetParam()), WaitResult::TimedOut);
  EXPECT_EQ(loop.TicksDelivered(), GetParam() * kAnswerLimitFactor);
  ASSERT_EQ(window.log.size(), 3u);
  EXPECT_EQ(window.log[0], "<<WARNING>> The KV-218 sent bytes but no answer for " +
                               std::to_string(GetParam() * kAnswerLimitFactor) + " seconds");
  EXPECT_EQ(window.log[1], "TimeOut !! No response with target !!");
  EXPECT_EQ(window.log[2].rfind("PROGRAMMING FAILED. (", 0), 0u);
  EXPECT_EQ(port.sent, (std::vector<std::vector<std::uint8_t>>{kEndRun}));
}

TEST_P(AnswerLimits, LeaveACloseRequestEndingTheWaitWithinTheSilenceLimit) {
  // Ctrl-C amid the noise: the answer in flight gets the step's silence limit, not the bound.
  frames.BulkErase();
  window.log.clear();
  port.sent.clear();
  Noise();
  loop.PostAfter(Millis(2500), [this] { control.closeRequested = true; });
  EXPECT_EQ(AwaitFlag(run, flag, GetParam()), WaitResult::Closed);
  EXPECT_EQ(loop.TicksDelivered(), GetParam());
  EXPECT_TRUE(window.log.empty());
  EXPECT_EQ(port.sent, (std::vector<std::vector<std::uint8_t>>{kEndRun}));
}

INSTANTIATE_TEST_SUITE_P(TargetAndFlash, AnswerLimits,
                         ::testing::Values(kTargetTimeoutTicks, kFlashTimeoutTicks));

TEST_F(WaitsTest, ACloseRequestWaitsForTheAnswerInFlight) {
  // The erase went out; its answer comes 3.5 s later. EndRun follows the answer, not the
  // request: a programmer that takes in a frame by the silence after it would read it as
  // part of the frame.
  frames.BulkErase();
  port.sent.clear();
  loop.PostAfter(Millis(1500), [this] { control.closeRequested = true; });
  loop.PostAfter(Millis(3500), [this] {
    station.awaited.pending = false;  // as the decoding does when it takes the answer
    flag = 1;
  });
  EXPECT_EQ(AwaitFlag(run, flag, kTargetTimeoutTicks), WaitResult::Closed);
  EXPECT_EQ(loop.TicksDelivered(), 3);
  EXPECT_EQ(flag, 1);
  EXPECT_TRUE(window.log.size() == 1 && window.log[0] == "2. Bulk Erasing ...");
  EXPECT_EQ(port.sent, (std::vector<std::vector<std::uint8_t>>{kEndRun}));
}

TEST_F(WaitsTest, ACloseRequestEndsTheWaitWithoutTimeOutLines) {
  loop.PostAfter(Millis(2500), [this] { control.closeRequested = true; });
  EXPECT_EQ(AwaitFlag(run, flag, kFlashTimeoutTicks), WaitResult::Closed);
  EXPECT_EQ(loop.TicksDelivered(), 2);
  EXPECT_TRUE(window.log.empty());
  EXPECT_FALSE(loop.TickTimerOn());
  EXPECT_TRUE(window.buttonsEnabled);
  EXPECT_EQ(port.sent, (std::vector<std::vector<std::uint8_t>>{kEndRun}));
}

TEST_F(WaitsTest, CheckTimeoutHandlesMessagesAndReportsTheLimit) {
  station.TimeOutCount = 4;
  EXPECT_FALSE(CheckTimeout(run, kTargetTimeoutTicks));  // tick: 5
  EXPECT_TRUE(CheckTimeout(run, kTargetTimeoutTicks));   // tick: 6
  EXPECT_FALSE(loop.TickTimerOn());
  EXPECT_EQ(window.log.size(), 2u);
  EXPECT_TRUE(port.sent.empty());  // CheckTimeout alone does not abort
}

}  // namespace
}  // namespace kv218

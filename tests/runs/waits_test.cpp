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
    loop.SetTickHandler([this] { ++station.TimeOutCount; });
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

// The controller on a serial adapter that the test pulls out and plugs in again: the lost
// port shown and looked for at every tick, reopened when it is back, named during a run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/controller.h"
#include "ground/utf8_path.h"
#include "test_hex.h"
#include "testkit/pluggable_port.h"
#include "testkit/recording_window.h"
#include "testkit/temp_folder.h"
#include "testkit/virtual_time_loop.h"

namespace kv218 {
namespace {

// A controller on a serial adapter that the test pulls out and plugs in again.
class LostPortTest : public ::testing::Test {
 protected:
  LostPortTest() {
    std::ofstream(PathFromUtf8(settingsPath)) << "[COM PORT SETTING]\r\nPORT=/dev/ttyUSB0\r\n";
    controller.SetSleeper([this](std::chrono::milliseconds pause) { loop.Sleep(pause); });
  }
  ~LostPortTest() override { loop.Shutdown(); }

  // Pulls the adapter; the receive thread's word of it is the message the loop waits for.
  void PullAndAwaitTheLoss() {
    adapter.Pull();
    while (!controller.PortLost()) loop.WaitForMessages();
  }
  void LoadFile() {
    window.fileChoices.push_back(dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
    controller.LoadFile();
  }

  testing::TempFolder dir;
  std::string settingsPath = Utf8FromPath(dir.path() / "kv218tool.INI");
  RecordingWindow window;
  VirtualTimeLoop loop;
  test::Adapter adapter;
  Controller controller{window, loop, settingsPath,
                        [this] { return std::make_unique<test::AdapterPort>(adapter); }};
};

const std::string kLostLine = "<<WARNING>> Port /dev/ttyUSB0 lost; waiting for it to come back";
const std::string kBackLine = "Port /dev/ttyUSB0 is back";

TEST_F(LostPortTest, ShowsNAWhileThePortIsAwayAndReopensItWhenItIsBack) {
  controller.Open();
  ASSERT_TRUE(controller.PortOpen());
  EXPECT_EQ(window.panels[1], "/dev/ttyUSB0");
  EXPECT_FALSE(loop.TickTimerOn());

  PullAndAwaitTheLoss();
  EXPECT_EQ(window.panels[1], "N/A");
  EXPECT_EQ(window.log, (std::vector<std::string>{kLostLine}));
  EXPECT_FALSE(controller.PortOpen());
  EXPECT_EQ(controller.station().port, nullptr);
  EXPECT_TRUE(loop.TickTimerOn());  // the port is looked for at every tick

  const int attempts = adapter.OpenAttempts();
  for (int tick = 1; tick <= 3; ++tick) {
    loop.WaitForMessages();
    EXPECT_EQ(adapter.OpenAttempts(), attempts + tick);
  }
  EXPECT_EQ(window.panels[1], "N/A");
  EXPECT_EQ(window.log.size(), 1u);  // tried quietly

  adapter.PlugIn();
  loop.WaitForMessages();
  EXPECT_EQ(adapter.OpenAttempts(), attempts + 4);
  EXPECT_TRUE(controller.PortOpen());
  EXPECT_FALSE(controller.PortLost());
  EXPECT_NE(controller.station().port, nullptr);
  EXPECT_EQ(window.panels[1], "/dev/ttyUSB0");
  EXPECT_EQ(window.log, (std::vector<std::string>{kLostLine, kBackLine}));
  EXPECT_FALSE(loop.TickTimerOn());

  // Watching again: a stand-alone run's report on the reopened port reaches the log.
  adapter.Deliver({0x1B, 0x53, 0x01, 0x07});
  while (controller.BurstsHandled() == 0) loop.WaitForMessages();
  EXPECT_EQ(window.log.back(), "1. Check Device Ready ( 0x07 )");
  // And it is noticed again when it goes again.
  PullAndAwaitTheLoss();
  EXPECT_EQ(window.log.back(), kLostLine);
}

// A run started while the port is away is refused at once, as with a port that never opened:
// nothing sent, the warning line. The port is still looked for.
TEST_F(LostPortTest, ARunWhileThePortIsAwayIsRefusedAndTheSearchGoesOn) {
  controller.Open();
  LoadFile();
  PullAndAwaitTheLoss();
  adapter.PlugIn();
  const int attempts = adapter.OpenAttempts();
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::NoPort);
  EXPECT_EQ(adapter.OpenAttempts(), attempts);
  EXPECT_TRUE(adapter.Sent().empty());
  EXPECT_EQ(window.log.back(), "<<WARNING>> Port /dev/ttyUSB0 is not open");
  EXPECT_TRUE(loop.TickTimerOn());

  loop.WaitForMessages();
  EXPECT_TRUE(controller.PortOpen());
  EXPECT_EQ(window.log.back(), kBackLine);
  EXPECT_FALSE(loop.TickTimerOn());
}

// A port that goes in the middle of a run: panel 1 and a line naming the port say so before
// the time-out's lines, and the run ends as a silent programmer's does.
// The run ends at once, not after the programmer's silence, and says what to do next.
TEST_F(LostPortTest, APortLostDuringARunIsNamedAndEndsTheRunAtOnce) {
  controller.Open();
  LoadFile();
  // Pulled while the run waits for its first reply (the adapter answers nothing); the receive
  // thread's word of it is awaited there, before the run's wait looks at its ticks again.
  // The ticks stand still while the receive thread's word is awaited, so that the run has
  // counted one silent tick when it hears of the loss.
  std::int64_t ticksAtLoss = 0;
  loop.PostAfter(std::chrono::milliseconds(1500), [this, &ticksAtLoss] {
    loop.SetTickTimer(false);
    PullAndAwaitTheLoss();
    loop.SetTickTimer(true);
    ticksAtLoss = loop.TicksDelivered();
  });
  const std::size_t lines = window.log.size();
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::TimedOut);
  EXPECT_EQ(window.panels[1], "N/A");
  const std::vector<std::string> run(window.log.begin() + static_cast<std::ptrdiff_t>(lines),
                                     window.log.end());
  const auto lost = std::find(run.begin(), run.end(), kLostLine);
  const auto timeOut = std::find(run.begin(), run.end(), "TimeOut !! No response with target !!");
  ASSERT_NE(lost, run.end());
  ASSERT_NE(timeOut, run.end());
  EXPECT_LT(lost, timeOut);
  EXPECT_EQ(window.verdict, Verdict::Failed);
  EXPECT_LE(loop.TicksDelivered() - ticksAtLoss, 1);  // not the five more of a time-out
  EXPECT_EQ(window.log.back(), "<<NEXT STEP>> the port was lost: check the cable");
}

// Choosing another port, or closing the window, ends the search for the lost one.
TEST_F(LostPortTest, APortChangeOrACloseEndsTheSearch) {
  for (const bool change : {true, false}) {
    controller.Open();
    PullAndAwaitTheLoss();
    if (change) {
      adapter.PlugIn();
      controller.SelectPort(4);
      EXPECT_TRUE(controller.PortOpen());
      EXPECT_EQ(window.panels[1], "COM5");
    } else {
      EXPECT_TRUE(controller.Close(0));
      EXPECT_FALSE(controller.PortOpen());
    }
    EXPECT_FALSE(controller.PortLost()) << change;
    EXPECT_FALSE(loop.TickTimerOn()) << change;
    controller.Close(0);
    adapter.PlugIn();
  }
}

// The port going away makes the window NOT READY; its return makes it READY again.
TEST_F(LostPortTest, ALostPortMakesTheWindowNotReadyUntilItIsBack) {
  controller.Open();
  LoadFile();
  EXPECT_EQ(window.state.state, BoardState::Ready);
  PullAndAwaitTheLoss();
  EXPECT_EQ(window.state.state, BoardState::NotReady);
  EXPECT_EQ(window.reason, "port not open");
  adapter.PlugIn();
  loop.WaitForMessages();
  ASSERT_TRUE(controller.PortOpen());
  EXPECT_EQ(window.state.state, BoardState::Ready);
}

}  // namespace
}  // namespace kv218

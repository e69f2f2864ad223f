// The controller's port: the one the settings name or the operator picks, a port that does not
// open, the note asked of the programmer, the ticks and the bursts the port hands over.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/controller.h"
#include "controller_test.h"
#include "port/system_port.h"
#include "test_hex.h"

namespace kv218 {
namespace {

using sim::Command;
using ::testing::StartsWith;

// With a file but no open port a run is refused at once, saying so, instead of timing out
// after six seconds and blaming the target.
TEST_F(ControllerTest, APortThatDoesNotOpenShowsNAAndRunsAreRefusedAtOnce) {
  openFails = true;
  controller.Open();
  EXPECT_EQ(window.panels[1], "N/A");
  EXPECT_FALSE(controller.PortOpen());
  EXPECT_EQ(controller.station().port, nullptr);
  controller.QueryNote();  // goes nowhere
  const std::string file = dir.Write("mvrx.hex", testing::Type16Hex(false));
  LoadThroughButton(2, file);
  for (auto run : {&Controller::ProgramTarget, &Controller::StoreInProgrammer}) {
    const std::size_t lines = window.log.size();
    EXPECT_EQ((controller.*run)(), RunOutcome::NoPort);
    EXPECT_EQ(std::vector<std::string>(window.log.begin() + static_cast<std::ptrdiff_t>(lines),
                                       window.log.end()),
              (std::vector<std::string>{
                  "", "<<WARNING>> Port " + SystemDevicePath("\\\\.\\COM1") + " is not open"}));
  }
  // The open's failure was named in the log when it happened.
  EXPECT_THAT(window.log[0], StartsWith("<<WARNING>> Cannot open port \\\\.\\COM1"));
  EXPECT_EQ(loop.TicksDelivered(), 0);
  EXPECT_FALSE(loop.TickTimerOn());
  EXPECT_TRUE(window.buttonsEnabled);
  EXPECT_TRUE(window.selectorsEnabled);
  EXPECT_EQ(window.verdict, Verdict::None);
  EXPECT_TRUE(received.empty());
}

struct PortChoice {
  int index;
  std::string path;
  std::string panel;
};
void PrintTo(const PortChoice& c, std::ostream* os) { *os << "item " << c.index; }

class PortChange : public ControllerTest, public ::testing::WithParamInterface<PortChoice> {};

TEST_P(PortChange, ClosesTheOldPortAndOpensTheChosenOne) {
  controller.Open();
  controller.SelectPort(GetParam().index);
  EXPECT_EQ(portsMade, 2);  // the old port was closed; a fresh one was opened
  EXPECT_EQ(watch.OpenedPath(), GetParam().path);
  EXPECT_EQ(window.panels[1], GetParam().panel);
  EXPECT_EQ(controller.PortPath(), GetParam().path);
  EXPECT_EQ(controller.station().port, lastPort);
}

INSTANTIATE_TEST_SUITE_P(Choices, PortChange,
                         ::testing::Values(PortChoice{11, "\\\\.\\COM12", "COM12"},
                                           PortChoice{0, "\\\\.\\COM1", "COM1"},  // the same port
                                           PortChoice{-1, "\\\\.\\COM0", "COM0"}));

TEST_F(ControllerTest, TheDoubleClickAsksForTheNote) {
  controller.Open();
  controller.QueryNote();
  loop.PumpMessages();
  EXPECT_EQ(received, (std::vector<Command>{Command::QueryInfo}));
  EXPECT_EQ(window.log.back(), "<<NOTE>> F" + model.Options().note);
  EXPECT_EQ(controller.BurstsHandled(), 1u);
}

TEST_F(ControllerTest, TicksCountTheTimeOut) {
  controller.Open();
  controller.OnTick();
  loop.SetTickTimer(true);
  loop.WaitForMessages();
  EXPECT_EQ(controller.station().TimeOutCount, 2);
}

TEST_F(ControllerTest, ABurstArrivingWhileOneIsHandledWaitsItsTurn) {
  controller.Open();
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
  const std::uint8_t report[] = {0x1B, 0x53, 0x01, 0x07};
  onFrame = [&](const sim::Frame& frame) {
    // The write's data frame is sent from inside the handler of the start reply.
    if (frame.command == Command::WriteData) controller.OnBurst(report, sizeof report);
  };
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Succeeded);
  // It is logged after the handler that was running; the write's completion still lands on
  // the write's own line.
  const auto at = std::find(window.log.begin(), window.log.end(), "1. Check Device Ready ( 0x07 )");
  ASSERT_NE(at, window.log.end());
  EXPECT_EQ(*(at - 1), "3. Programming Program Memory ... OK");
}

}  // namespace
}  // namespace kv218

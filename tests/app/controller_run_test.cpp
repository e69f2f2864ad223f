// The controller's runs as the operator meets them: what a click during a run cannot break, a
// close asked or made during a run, the selectors held, the type read once, the verdict.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/controller.h"
#include "controller_test.h"
#include "test_hex.h"

namespace kv218 {
namespace {

using sim::Command;
using ::testing::StartsWith;

// The programmer falls silent at the third block of a type-0 write.
class SilentWriteTest : public ::testing::Test, public testing::ControllerFixture {
 protected:
  SilentWriteTest() : ControllerFixture({"silent-at=WDD#3"}) {}
};

// The programmer never acknowledges the erase of its flash.
class SilentEraseTest : public ::testing::Test, public testing::ControllerFixture {
 protected:
  SilentEraseTest() : ControllerFixture({"silent-at=FE"}) {}
};

TEST_F(ControllerTest, ClicksDuringARunDoNothingAndADroppedFileIsRefused) {
  controller.Open();
  LoadThroughButton(2, dir.Write("cradle.hex", testing::Type16Hex(false)));
  RunOutcome nested = RunOutcome::Succeeded;
  bool dropTaken = true;
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command != Command::BulkErase) return;
    nested = controller.StoreInProgrammer();
    window.fileChoices.push_back("/elsewhere.hex");
    controller.LoadFile();
    dropTaken = controller.LoadFileNamed("/dropped.hex");
  };
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Succeeded);
  EXPECT_EQ(nested, RunOutcome::Busy);
  EXPECT_EQ(Count(Command::ReadEraseCounter), 0u);
  EXPECT_NE(controller.station().HexFileName, "/elsewhere.hex");
  EXPECT_FALSE(dropTaken);
  EXPECT_EQ(std::count(window.log.begin(), window.log.end(),
                       "<<WARNING>> A run is in progress; /dropped.hex was not loaded"),
            1);
  EXPECT_NE(controller.station().HexFileName, "/dropped.hex");
}

TEST_F(SilentWriteTest, ClosingDuringARunEndsItAtOnceAndSavesTheSettings) {
  controller.Open();
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x2ABF8)));
  bool closed = false;
  // The window is closed while the run waits for the programmer.
  loop.PostAfter(std::chrono::milliseconds(2500), [&] { closed = controller.Close(0); });
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Interrupted);
  EXPECT_TRUE(closed);
  EXPECT_EQ(received.back(), Command::EndRun);  // sent by the close while the port was open
  EXPECT_EQ(Count(Command::EndRun), 1u);
  EXPECT_EQ(Count(Command::WriteData), 3u);
  EXPECT_EQ(loop.TicksDelivered(), 2);  // the wait ended with the close, not at 6 ticks
  EXPECT_FALSE(loop.TickTimerOn());
  EXPECT_TRUE(window.buttonsEnabled);
  EXPECT_FALSE(controller.PortOpen());
  EXPECT_THAT(ReadSettingsText(), ::testing::HasSubstr("TYPE=0"));
}

TEST_F(ControllerTest, ARequestToCloseEndsOnlyTheRunInProgress) {
  controller.Open();
  controller.RequestClose();  // nothing running: no effect on the next run
  LoadThroughButton(1, dir.Write("mvrx.hex", testing::Type16Hex(true)));
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::ReadStart) controller.RequestClose();
  };
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Succeeded);  // no read start in a download
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Interrupted);
  EXPECT_EQ(received.back(), Command::EndRun);
  onFrame = nullptr;
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Succeeded);
}

// Three stores closed during their erase and one that runs through: four erases, and the
// programmer's count says four.
TEST_F(ControllerTest, StoresClosedDuringTheEraseStillCountIt) {
  controller.Open();
  LoadThroughButton(3, dir.Write("eco.hex", testing::Type1KHex()));
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::FlashErase) controller.RequestClose();
  };
  for (int run = 0; run < 3; ++run)
    EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Interrupted);
  onFrame = nullptr;
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Succeeded);
  EXPECT_EQ(Count(Command::FlashErase), 4u);
  EXPECT_EQ(model.Memory().flash.EraseCounter, 4u);
  EXPECT_EQ(Count(Command::FlashWriteData), 1u);
}

// Closing the window itself closes the port: no acknowledgement can come, so the erase is
// not waited for.
TEST_F(SilentEraseTest, ACloseDuringTheEraseEndsTheRunAtOnce) {
  controller.Open();
  LoadThroughButton(3, dir.Write("eco.hex", testing::Type1KHex()));
  bool closed = false;
  loop.PostAfter(std::chrono::milliseconds(2500), [&] { closed = controller.Close(0); });
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Interrupted);
  EXPECT_TRUE(closed);
  EXPECT_EQ(loop.TicksDelivered(), 2);
  EXPECT_EQ(received.back(), Command::EndRun);
  EXPECT_EQ(Count(Command::WriteEraseCounter), 0u);
}

TEST_F(ControllerTest, SelectorsAreDisabledWithTheButtonsDuringARun) {
  controller.Open();
  LoadThroughButton(2, dir.Write("cradle.hex", testing::Type16Hex(false)));
  std::vector<bool> duringRun;
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::BulkErase || frame.command == Command::FlashErase) {
      duringRun.push_back(window.selectorsEnabled);
      duringRun.push_back(window.buttonsEnabled);
    }
  };
  for (auto run : {&Controller::ProgramTarget, &Controller::StoreInProgrammer}) {
    EXPECT_EQ((controller.*run)(), RunOutcome::Succeeded);
    EXPECT_TRUE(window.selectorsEnabled);
    EXPECT_TRUE(window.buttonsEnabled);
  }
  EXPECT_EQ(duringRun, (std::vector<bool>{false, false, false, false}));
}

// A run keeps the type it started with: a type picked in the middle of a run sends no frame of
// another family.
TEST_F(ControllerTest, TheTypeIsReadOnceAtTheStartOfARun) {
  controller.Open();
  LoadThroughButton(2, dir.Write("cradle.hex", testing::Type16Hex(false)));
  std::vector<int> families;
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::ReadDeviceId || frame.command == Command::FlashErase) {
      window.targetType = 0;
    }
    if (frame.command == Command::BulkErase || frame.command == Command::ReadStart) {
      families.push_back(frame.targetType);
    }
  };
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Succeeded);
  EXPECT_EQ(families, (std::vector<int>{2, 2}));  // '9': Cradle Set to the end
  window.targetType = 2;
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Succeeded);
  EXPECT_EQ(Count(Command::FlashWriteData), 9u);  // the 16-bit image's blocks, not type 0's
}

// The close asked for during a run: the operator is asked; no lets the run go on, yes ends it.
TEST_F(ControllerTest, ClosingDuringARunAsksFirst) {
  controller.Open();
  EXPECT_TRUE(controller.ConfirmClose());  // no run: nothing to ask
  EXPECT_TRUE(window.questions.empty());
  LoadThroughButton(2, dir.Write("cradle.hex", testing::Type16Hex(false)));
  for (const bool yes : {false, true}) {
    window.answers = {yes};
    bool confirmed = !yes;
    onFrame = [&](const sim::Frame& frame) {
      if (frame.command == Command::BulkErase) confirmed = controller.ConfirmClose();
    };
    EXPECT_EQ(controller.ProgramTarget(), yes ? RunOutcome::Interrupted : RunOutcome::Succeeded);
    EXPECT_EQ(confirmed, yes);
  }
  EXPECT_EQ(window.questions,
            std::vector<std::string>(2, "A run is in progress. Stop it and close?"));
}

// How a run ended is shown on its closing line; a failure calls the operator, and a line of
// its own says what to do next.
struct VerdictCase {
  const char* name;
  std::vector<std::string> faults;
  RunOutcome outcome;
  Verdict verdict;
  const char* closingLine;  // the start of the line the verdict marks; null: none
  const char* nextStep;     // the line after it; null: none
};

class VerdictTest : public ::testing::Test,
                    public testing::ControllerFixture,
                    public ::testing::WithParamInterface<VerdictCase> {
 protected:
  VerdictTest() : ControllerFixture(GetParam().faults) {}
};

TEST_P(VerdictTest, TheClosingLineShowsHowTheRunWent) {
  const VerdictCase& c = GetParam();
  controller.Open();
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
  std::vector<Verdict> duringRun;
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::ReadDeviceId) duringRun.push_back(window.verdict);
  };
  window.verdict = Verdict::Failed;  // the last run's: taken back when the next one starts
  EXPECT_EQ(controller.ProgramTarget(), c.outcome);
  EXPECT_EQ(duringRun, std::vector<Verdict>{Verdict::None});
  EXPECT_EQ(window.verdict, c.verdict);
  EXPECT_EQ(window.operatorCalls, c.verdict == Verdict::Failed ? 1 : 0);
  if (c.closingLine == nullptr) return;
  ASSERT_LT(window.verdictLine, window.log.size());
  EXPECT_THAT(window.log[window.verdictLine], StartsWith(c.closingLine));
  const std::size_t after = c.nextStep == nullptr ? 0 : 1;
  EXPECT_EQ(window.verdictLine, window.log.size() - 1 - after);
  if (c.nextStep != nullptr) {
    EXPECT_EQ(window.log.back(), c.nextStep);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, VerdictTest,
                         ::testing::Values(VerdictCase{"Succeeded",
                                                       {},
                                                       RunOutcome::Succeeded,
                                                       Verdict::Succeeded,
                                                       "PROGRAMMING SUCCEEDED. (",
                                                       nullptr},
                                           VerdictCase{"WrongIdentity",
                                                       {"bad-identity"},
                                                       RunOutcome::Failed,
                                                       Verdict::Failed,
                                                       "PROGRAMMING FAILED. (",
                                                       "<<NEXT STEP>> no board or a wrong one in "
                                                       "the socket: re-seat it"},
                                           VerdictCase{"ReadBackDiffers",
                                                       {"corrupt-readback"},
                                                       RunOutcome::Failed,
                                                       Verdict::Failed,
                                                       "PROGRAMMING FAILED. (",
                                                       "<<NEXT STEP>> re-seat the board and "
                                                       "program it again; if it fails twice, set "
                                                       "it aside"},
                                           VerdictCase{"TimedOut",
                                                       {"silent-at=E"},
                                                       RunOutcome::TimedOut,
                                                       Verdict::Failed,
                                                       "PROGRAMMING FAILED. (",
                                                       "<<NEXT STEP>> no byte from the "
                                                       "programmer: check the programmer's power "
                                                       "and cable, then try again"}),
                         [](const ::testing::TestParamInfo<VerdictCase>& p) {
                           return std::string(p.param.name);
                         });

TEST_F(ControllerTest, AnInterruptedRunShowsNoVerdict) {
  controller.Open();
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::BulkErase) controller.RequestClose();
  };
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Interrupted);
  EXPECT_EQ(window.verdict, Verdict::None);
  EXPECT_EQ(window.operatorCalls, 0);
}

// A store broken off once the programmer was asked to erase its flash leaves it without a
// whole image, and the log says so; one broken off before has changed nothing there.
TEST_F(ControllerTest, AStoreInterruptedAfterItsEraseSaysTheImageIsIncomplete) {
  const std::string note =
      "<<WARNING>> The KV-218's stored image is incomplete: store it again (PC to KV-218) before "
      "its stand-alone runs";
  controller.Open();
  LoadThroughButton(3, dir.Write("eco.hex", testing::Type1KHex()));
  for (const Command at :
       {Command::ReadEraseCounter, Command::FlashErase, Command::FlashWriteData}) {
    onFrame = [&](const sim::Frame& frame) {
      if (frame.command == at) controller.RequestClose();
    };
    const std::size_t before = window.log.size();
    EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Interrupted);
    const bool noted = std::find(window.log.begin() + static_cast<std::ptrdiff_t>(before),
                                 window.log.end(), note) != window.log.end();
    EXPECT_EQ(noted, at != Command::ReadEraseCounter) << static_cast<int>(at);
  }
}

// The board state the window shows over a large area follows the operator's steps: NOT READY
// with its reason until a file, a port and a type are there; RUNNING; PASS or FAIL until the
// next load, run, port change or type change; the boards counted.
TEST_F(ControllerTest, TheBoardStateFollowsTheOperatorsSteps) {
  const auto state = [this] { return std::pair(window.state.state, window.reason); };
  using State = std::pair<BoardState, std::string>;
  const State ready{BoardState::Ready, ""};
  openFails = true;
  controller.Open();
  EXPECT_EQ(state(), State(BoardState::NotReady, "no file loaded"));
  const std::string file = dir.Write("tk.hex", testing::Type0Hex(64, 0x400));
  LoadThroughButton(0, file);
  EXPECT_EQ(state(), State(BoardState::NotReady, "port not open"));
  openFails = false;
  controller.SelectPort(0);
  EXPECT_EQ(state(), ready);
  window.targetType = -1;
  controller.TypeChanged();
  EXPECT_EQ(state(), State(BoardState::NotReady, "no target type"));
  window.targetType = 0;
  controller.TypeChanged();
  EXPECT_EQ(state(), ready);

  std::vector<BoardState> duringRun;
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::ReadDeviceId) duringRun.push_back(window.state.state);
  };
  // Each step that makes a verdict stale takes it back; the count stays.
  const std::function<void()> staleMakers[] = {
      [&] { LoadThroughButton(0, file); },
      [&] { controller.TypeChanged(); },
      [&] { controller.SelectPort(0); },
  };
  for (const auto& makeStale : staleMakers) {
    EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Succeeded);
    EXPECT_EQ(state(), State(BoardState::Pass, ""));
    makeStale();
    EXPECT_EQ(state(), ready);
  }
  EXPECT_EQ(duringRun, std::vector<BoardState>(3, BoardState::Running));
  EXPECT_EQ(window.state.passed, 3);
  EXPECT_EQ(window.state.failed, 0);
  // A store is no board: its pass shows, but is not counted.
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Succeeded);
  EXPECT_EQ(state(), State(BoardState::Pass, ""));
  EXPECT_EQ(window.state.passed, 3);
}

TEST(BoardStateTest, AFailureOrATimeOutShowsFailUntilTheNextLoad) {
  for (const char* fault : {"bad-identity", "corrupt-readback", "silent-at=E"}) {
    SCOPED_TRACE(fault);
    testing::ControllerFixture bench({fault});
    bench.controller.Open();
    const std::string file = bench.dir.Write("tk.hex", testing::Type0Hex(64, 0x400));
    bench.LoadThroughButton(0, file);
    EXPECT_NE(bench.controller.ProgramTarget(), RunOutcome::Succeeded);
    EXPECT_EQ(bench.window.state.state, BoardState::Fail);
    EXPECT_EQ((std::pair(bench.window.state.passed, bench.window.state.failed)), std::pair(0, 1));
    bench.LoadThroughButton(0, file);
    EXPECT_EQ(bench.window.state.state, BoardState::Ready);
  }
}

TEST_F(ControllerTest, AnInterruptedRunLeavesNoVerdictShown) {
  controller.Open();
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::BulkErase) controller.RequestClose();
  };
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Interrupted);
  EXPECT_EQ(window.state.state, BoardState::Ready);
  EXPECT_EQ((std::pair(window.state.passed, window.state.failed)), std::pair(0, 0));
}

// A type that is no item (a TYPE that named none, or nothing picked) refuses the run at once:
// nothing sent, no time-out that blames the board.
TEST_F(ControllerTest, ARunWithoutATypeIsRefusedAtOnce) {
  controller.Open();
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
  for (const int type : {-1, 4}) {
    window.targetType = type;
    for (auto run :
         {&Controller::ProgramTarget, &Controller::StoreInProgrammer, &Controller::VerifyTarget}) {
      const std::size_t lines = window.log.size();
      EXPECT_EQ((controller.*run)(), RunOutcome::NoType);
      EXPECT_EQ(std::vector<std::string>(window.log.begin() + static_cast<std::ptrdiff_t>(lines),
                                         window.log.end()),
                (std::vector<std::string>{"", "Select the target type"}));
    }
    EXPECT_FALSE(controller.StartKey());
  }
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(loop.TicksDelivered(), 0);
  EXPECT_TRUE(window.buttonsEnabled);
  EXPECT_TRUE(window.selectorsEnabled);
  EXPECT_EQ(window.state.state, BoardState::NotReady);
  EXPECT_EQ(window.reason, "no target type");
}

// The start key programs a board only when the window is ready (a verdict shown counts as
// ready), and does nothing at all otherwise, during a run included.
TEST_F(ControllerTest, TheStartKeyProgramsOnlyWhenReady) {
  controller.Open();
  EXPECT_FALSE(controller.StartKey());  // no file
  EXPECT_TRUE(window.log.empty());
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
  int keysDuringRun = 0;
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::BulkErase) keysDuringRun += controller.StartKey() ? 1 : 0;
  };
  for (int board = 1; board <= 2; ++board) {
    EXPECT_TRUE(controller.StartKey());
    EXPECT_EQ(controller.LastOutcome(), RunOutcome::Succeeded);
  }
  EXPECT_EQ(keysDuringRun, 0);
  EXPECT_EQ(Count(Command::BulkErase), 2u);
  EXPECT_EQ(window.state.passed, 2);
}

}  // namespace
}  // namespace kv218

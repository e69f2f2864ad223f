// The toolkit-free controller: settings, port, ticks, buttons and close, with the simulated
// programmer in-process on virtual time.

#include "app/controller.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ground/utf8_path.h"
#include "sequence_bench.h"
#include "settings/settings.h"
#include "sim/device_model.h"
#include "sim/fault_set.h"
#include "sim/in_process_port.h"
#include "test_hex.h"
#include "testkit/pluggable_port.h"
#include "testkit/recording_window.h"
#include "testkit/virtual_time_loop.h"

namespace kv218 {
namespace {

using sim::Command;
using ::testing::StartsWith;

// The in-process programmer as the port, remembering how it was opened.
class SimPort : public sim::InProcessPort {
 public:
  using InProcessPort::InProcessPort;
  bool Open(const std::string& path, const std::string& settings) override {
    openedPath = path;
    openedSettings = settings;
    return InProcessPort::Open(path, settings);
  }
  std::string openedPath, openedSettings;
};

sim::DeviceOptions WithFaults(const std::vector<std::string>& texts) {
  std::string error;
  sim::DeviceOptions options;
  options.faults = *sim::FaultSet::Parse(texts, error);
  return options;
}

// A controller on the in-process programmer (with the given simulator faults).
class ControllerBench {
 public:
  explicit ControllerBench(const std::vector<std::string>& faults)
      : settingsPath(Utf8FromPath(dir.path() / "kv218tool.INI")),
        model(WithFaults(faults)),
        controller(window, loop, settingsPath, [this] { return MakePort(); }) {
    model.SetFrameObserver([this](const sim::Frame& frame) {
      received.push_back(frame.command);
      if (onFrame) onFrame(frame);
    });
    controller.SetSleeper([this](std::chrono::milliseconds pause) { loop.Sleep(pause); });
  }
  ~ControllerBench() { loop.Shutdown(); }

  std::unique_ptr<PortChannel> MakePort() {
    auto port = std::make_unique<SimPort>(model, loop);
    port->SetOpenFails(openFails);
    port->SetReceiver(
        [this](const std::uint8_t* data, std::size_t count) { controller.OnBurst(data, count); });
    lastPort = port.get();
    ++portsMade;
    return port;
  }
  std::string ReadSettingsText() const {
    std::ifstream in(PathFromUtf8(settingsPath));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void LoadThroughButton(int type, const std::string& path) {
    window.targetType = type;
    window.fileChoices.push_back(path);
    controller.LoadFile();
  }
  std::size_t Count(Command command) const {
    return static_cast<std::size_t>(std::count(received.begin(), received.end(), command));
  }

  testing::TempFolder dir;
  std::string settingsPath;
  RecordingWindow window;
  VirtualTimeLoop loop;
  sim::DeviceModel model;
  bool openFails = false;
  SimPort* lastPort = nullptr;
  int portsMade = 0;
  std::vector<Command> received;
  std::function<void(const sim::Frame&)> onFrame;
  Controller controller;
};

class ControllerTest : public ::testing::Test, public ControllerBench {
 protected:
  ControllerTest() : ControllerBench({}) {}
};

// The programmer falls silent at the third block of a type-0 write.
class SilentWriteTest : public ::testing::Test, public ControllerBench {
 protected:
  SilentWriteTest() : ControllerBench({"silent-at=WDD#3"}) {}
};

// The programmer never acknowledges the erase of its flash.
class SilentEraseTest : public ::testing::Test, public ControllerBench {
 protected:
  SilentEraseTest() : ControllerBench({"silent-at=FE"}) {}
};

TEST_F(ControllerTest, StartsWithTheDefaultsWhenThereIsNoSettingsFile) {
  controller.Open();
  ASSERT_NE(lastPort, nullptr);
  EXPECT_EQ(lastPort->openedPath, "\\\\.\\COM1");
  EXPECT_EQ(lastPort->openedSettings, "115200,E,8,1");
  EXPECT_EQ(window.panels[1], "COM1");
  EXPECT_TRUE(controller.PortOpen());
  EXPECT_EQ(controller.settings().Com, 0);
  EXPECT_EQ(controller.settings().Type, 0);
  EXPECT_EQ(controller.station().port, lastPort);
}

TEST_F(ControllerTest, OpensThePortTheSettingsName) {
  std::ofstream(PathFromUtf8(settingsPath))
      << "[COM PORT SETTING]\r\nPORT=/dev/ttyUSB3\r\nBAUD=0x2580\r\n"
         "PARITY=N\r\n[INDEX]\r\nCOM=7\r\nTYPE=2\r\n";
  controller.Open();
  EXPECT_EQ(lastPort->openedPath, "/dev/ttyUSB3");
  EXPECT_EQ(lastPort->openedSettings, "9600,N,8,1");
  EXPECT_EQ(window.panels[1], "/dev/ttyUSB3");  // no backslash: the whole path
  EXPECT_EQ(controller.settings().Com, 7);
  EXPECT_EQ(controller.settings().Type, 2);
}

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
              (std::vector<std::string>{"", "<<WARNING>> Port \\\\.\\COM1 is not open"}));
  }
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
  EXPECT_EQ(lastPort->openedPath, GetParam().path);
  EXPECT_EQ(window.panels[1], GetParam().panel);
  EXPECT_EQ(controller.PortPath(), GetParam().path);
  EXPECT_EQ(controller.station().port, lastPort);
}

INSTANTIATE_TEST_SUITE_P(Choices, PortChange,
                         ::testing::Values(PortChoice{11, "\\\\.\\COM12", "COM12"},
                                           PortChoice{0, "\\\\.\\COM1", "COM1"},  // the same port
                                           PortChoice{-1, "\\\\.\\COM0", "COM0"}));

TEST_F(ControllerTest, CloseSavesTheSettingsAndClosesThePort) {
  controller.Open();
  controller.SelectPort(4);
  window.targetType = 3;
  EXPECT_TRUE(controller.Close(4));
  EXPECT_FALSE(controller.PortOpen());
  EXPECT_EQ(controller.station().port, nullptr);
  const Settings saved = ReadSettings(settingsPath);
  EXPECT_EQ(saved.PortPath, "\\\\.\\COM5");
  EXPECT_EQ(saved.Com, 4);
  EXPECT_EQ(saved.Type, 3);
  EXPECT_EQ(saved.PortBaud, 115200);
  EXPECT_EQ(saved.PortParity, "E");
}

TEST_F(ControllerTest, AFailedSaveKeepsTheWindowOpenOnceThenLetsItClose) {
  const std::string blocked = Utf8FromPath(dir.path() / "no-such-folder" / "kv218tool.INI");
  Controller other(window, loop, blocked, [this] { return MakePort(); });
  other.Open();
  EXPECT_FALSE(other.Close(0));
  ASSERT_EQ(window.errors.size(), 1u);
  EXPECT_THAT(window.errors[0], StartsWith("Unable to write to " + blocked + ": "));
  EXPECT_TRUE(other.PortOpen());
  // The operator has been told; closing again closes, without the same message again.
  EXPECT_TRUE(other.Close(0));
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_FALSE(other.PortOpen());
}

TEST_F(ControllerTest, ButtonsLoadProgramAndStore) {
  controller.Open();
  const std::string file = dir.Write("tk.hex", testing::Type0Hex(64, 0x2ABF8));
  LoadThroughButton(0, file);
  EXPECT_EQ(controller.station().HexFileName, file);
  EXPECT_THAT(window.log.back(), StartsWith("Loading ... OK ( 0x0 - 0x02ABF8 , 0x"));
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Succeeded);
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Succeeded);
  EXPECT_EQ(controller.LastOutcome(), RunOutcome::Succeeded);
  EXPECT_THAT(window.log.back(), StartsWith("PROGRAMMING SUCCEEDED. ("));
  EXPECT_FALSE(controller.Running());

  window.fileChoices.push_back(std::nullopt);  // cancelled: nothing changes
  const std::size_t lines = window.log.size();
  controller.LoadFile();
  EXPECT_EQ(window.log.size(), lines);
  EXPECT_EQ(controller.station().HexFileName, file);
}

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

TEST_F(ControllerTest, AFileNamedLoadsAsTheButtonLoadsIt) {
  controller.Open();
  const std::string file = dir.Write("tk.hex", testing::Type0Hex(64, 0x2ABF8));
  LoadThroughButton(0, file);
  const std::vector<std::string> byButton = window.log;
  window.log.clear();
  ASSERT_TRUE(controller.LoadFileNamed(file));
  EXPECT_EQ(window.log, byButton);
  EXPECT_EQ(controller.station().HexFileName, file);
  EXPECT_TRUE(window.fileChoices.empty());  // no dialog was asked
  // Loaded as the selected type: the checksum of the same file read as type 2 differs.
  window.targetType = 2;
  window.log.clear();
  ASSERT_TRUE(controller.LoadFileNamed(file));
  EXPECT_NE(window.log.back(), byButton.back());
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

TEST_F(ControllerTest, AReloadThatFailsReturnsTheWindowToIdle) {
  controller.Open();
  const std::string file = dir.Write("eco.hex", testing::Type1KHex());
  LoadThroughButton(3, file);
  ASSERT_TRUE(std::filesystem::remove(PathFromUtf8(file)));
  window.errors.clear();
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::LoadFailed);
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_TRUE(window.buttonsEnabled);
  EXPECT_FALSE(loop.TickTimerOn());
  EXPECT_FALSE(controller.Running());
  EXPECT_TRUE(received.empty());
}

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

// ---- What the operator is told and what a click cannot break.

// A file that loads but is suspect: the loading lines as before, then one warning line per
// finding, by the load button and again at a run's start; the file loads all the same.
struct SuspectLoad {
  const char* name;
  int type;
  std::string content;
  std::vector<std::string> warnings;
};

std::string OneType0Record() {
  testing::HexText hex;
  hex.Data(0x0000, {1, 2, 3, 0});
  hex.ExtendedLinear(0x0001);
  hex.Data(0x0000, {4, 5, 6, 0});
  hex.Data(0x0010, {7, 8, 9, 0});
  return hex.Finish();
}

class SuspectLoadTest : public ControllerTest, public ::testing::WithParamInterface<SuspectLoad> {};

TEST_P(SuspectLoadTest, WarnsAfterTheLoadingLines) {
  const SuspectLoad& c = GetParam();
  controller.Open();
  const std::string file = dir.Write("suspect.hex", c.content);
  LoadThroughButton(c.type, file);
  ASSERT_EQ(window.log.size(), 3 + c.warnings.size());
  EXPECT_THAT(window.log[2], StartsWith("Loading ... OK "));
  EXPECT_EQ(std::vector<std::string>(window.log.begin() + 3, window.log.end()), c.warnings);

  const std::size_t before = window.log.size();
  controller.StoreInProgrammer();  // whatever it stores, it starts with the same reload
  const std::vector<std::string> run(window.log.begin() + static_cast<std::ptrdiff_t>(before),
                                     window.log.end());
  ASSERT_GT(run.size(), 3 + c.warnings.size());
  EXPECT_THAT(run[2], StartsWith("Loading ... OK "));
  EXPECT_EQ(std::vector<std::string>(
                run.begin() + 3, run.begin() + 3 + static_cast<std::ptrdiff_t>(c.warnings.size())),
            c.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SuspectLoadTest,
    ::testing::Values(
        SuspectLoad{"Sound", 2, testing::Type16Hex(false), {}},
        SuspectLoad{
            "Empty", 0, "", {"<<WARNING>> No data records", "<<WARNING>> No end-of-file record"}},
        SuspectLoad{"SavedLog",
                    2,
                    "\nC:\\firmware\\tk.hex\nLoading ... OK ( 0x0 - 0x007FFF , 0x79c4 )\n",
                    {"<<WARNING>> No data records", "<<WARNING>> No end-of-file record"}},
        // Type 0's second segment has no room in a 16-bit target.
        SuspectLoad{"Type0AsCradleSet",
                    2,
                    OneType0Record(),
                    {"<<WARNING>> 2 records outside the memory of Cradle Set ignored (0x10000 - "
                     "0x10013; they fit TK Series)"}}),
    [](const ::testing::TestParamInfo<SuspectLoad>& p) { return std::string(p.param.name); });

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

// Mended: the sequences and the replies read the selector afresh at every step, so a type
// picked in the middle of a run sent frames of another family. A run keeps the type it
// started with.
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

// How a run ended is shown on its closing line; a failure calls the operator.
struct VerdictCase {
  const char* name;
  std::vector<std::string> faults;
  RunOutcome outcome;
  Verdict verdict;
  const char* closingLine;  // the start of the line the verdict marks; null: none
};

class VerdictTest : public ::testing::Test,
                    public ControllerBench,
                    public ::testing::WithParamInterface<VerdictCase> {
 protected:
  VerdictTest() : ControllerBench(GetParam().faults) {}
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
  EXPECT_EQ(window.verdictLine, window.log.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(Runs, VerdictTest,
                         ::testing::Values(VerdictCase{"Succeeded",
                                                       {},
                                                       RunOutcome::Succeeded,
                                                       Verdict::Succeeded,
                                                       "PROGRAMMING SUCCEEDED. ("},
                                           VerdictCase{"WrongIdentity",
                                                       {"bad-identity"},
                                                       RunOutcome::Failed,
                                                       Verdict::Failed,
                                                       "PROGRAMMING FAILED. ("},
                                           VerdictCase{"ReadBackDiffers",
                                                       {"corrupt-readback"},
                                                       RunOutcome::Failed,
                                                       Verdict::Failed,
                                                       "PROGRAMMING FAILED. ("},
                                           VerdictCase{"TimedOut",
                                                       {"silent-at=E"},
                                                       RunOutcome::TimedOut,
                                                       Verdict::Failed,
                                                       "PROGRAMMING FAILED. ("}),
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

TEST_F(ControllerTest, ChangingTheTypeClearsTheChecksumPanel) {
  controller.Open();
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
  EXPECT_NE(window.panels[4], "N/A");
  window.targetType = 2;
  controller.TypeChanged();
  EXPECT_EQ(window.panels[4], "N/A");
  // A run's reload shows the checksum of the layout it loads, and a change the selector could
  // not make during the run leaves it.
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::BulkErase) controller.TypeChanged();
  };
  controller.ProgramTarget();
  EXPECT_NE(window.panels[4], "N/A");
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
    ControllerBench bench({fault});
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

TEST_F(ControllerTest, NoTypeIsNeverSaved) {
  std::ofstream(PathFromUtf8(settingsPath)) << "[INDEX]\r\nCOM=3\r\nTYPE=Eco\r\n";
  controller.Open();
  EXPECT_EQ(controller.settings().Type, -1);
  window.targetType = -1;
  EXPECT_TRUE(controller.Close(-1));
  EXPECT_THAT(ReadSettingsText(), ::testing::HasSubstr("COM=3\r\nTYPE=Eco\r\n"));
}

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
TEST_F(LostPortTest, APortLostDuringARunIsNamedBeforeTheTimeOut) {
  controller.Open();
  LoadFile();
  // Pulled while the run waits for its first reply (the adapter answers nothing); the receive
  // thread's word of it is awaited there, before the run's wait looks at its ticks again.
  loop.PostAfter(std::chrono::milliseconds(1500), [this] { PullAndAwaitTheLoss(); });
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

}  // namespace
}  // namespace kv218

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

TEST_F(ControllerTest, APortThatDoesNotOpenShowsNAAndRunsTimeOut) {
  openFails = true;
  controller.Open();
  EXPECT_EQ(window.panels[1], "N/A");
  EXPECT_FALSE(controller.PortOpen());
  EXPECT_EQ(controller.station().port, nullptr);
  controller.QueryNote();  // goes nowhere
  const std::string file = dir.Write("mvrx.hex", testing::Type16Hex(false));
  LoadThroughButton(2, file);
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::TimedOut);
  EXPECT_EQ(loop.TicksDelivered(), 6);
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

// A run started while the port is away ends as with a port that never opened: six silent
// ticks, nothing sent, the time-out lines. The port is not looked for during the run (its
// ticks are the run's), only after it.
TEST_F(LostPortTest, ARunWhileThePortIsAwayTimesOutAndTheSearchGoesOnAfterIt) {
  controller.Open();
  LoadFile();
  PullAndAwaitTheLoss();
  adapter.PlugIn();
  const int attempts = adapter.OpenAttempts();
  const std::size_t lines = window.log.size();
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::TimedOut);
  EXPECT_EQ(adapter.OpenAttempts(), attempts);
  EXPECT_TRUE(adapter.Sent().empty());
  const std::vector<std::string> run(window.log.begin() + static_cast<std::ptrdiff_t>(lines),
                                     window.log.end());
  ASSERT_GE(run.size(), 2u);
  EXPECT_EQ(run[run.size() - 2], "TimeOut !! No response with target !!");
  EXPECT_TRUE(loop.TickTimerOn());

  loop.WaitForMessages();
  EXPECT_TRUE(controller.PortOpen());
  EXPECT_EQ(window.log.back(), kBackLine);
  EXPECT_FALSE(loop.TickTimerOn());
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

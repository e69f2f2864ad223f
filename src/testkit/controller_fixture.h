#pragma once
// A controller on the simulated programmer in-process, on virtual time: its settings file and
// its record of runs in a fresh folder, its window a RecordingWindow, its clock the loop's
// virtual time from a fixed start (so a record's times and durations are exact). Every frame
// the programmer receives is counted, and a test may act on each (onFrame). The controller's
// and the record's tests use it.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/controller.h"
#include "port/port_channel.h"
#include "record/run_record.h"
#include "sim/device_model.h"
#include "sim/in_process_port.h"
#include "testkit/recording_window.h"
#include "testkit/temp_folder.h"
#include "testkit/virtual_time_loop.h"
#include "testkit/watched_port.h"

namespace kv218::testing {

// The wall-clock time at which the fixture's virtual time starts.
inline const WallTime kEpoch{std::chrono::seconds(1'700'000'000)};

class ControllerFixture {
 public:
  // faults: the simulated programmer's, as its --fault options spell them.
  explicit ControllerFixture(const std::vector<std::string>& faults = {});
  ~ControllerFixture();
  ControllerFixture(const ControllerFixture&) = delete;
  ControllerFixture& operator=(const ControllerFixture&) = delete;

  // The controller's port factory: a watched port on the programmer, handing its bursts to
  // the controller.
  std::unique_ptr<PortChannel> MakePort();

  // Opens the controller and records its runs into recordPath.
  void OpenRecording();
  // The type and the file chosen as the window's load button chooses them.
  void LoadThroughButton(int type, const std::string& path);
  // The type selected and the file named, then the run's button pressed.
  RunOutcome Press(RunOutcome (Controller::*button)(), int type, const std::string& file);

  std::string ReadSettingsText() const;
  std::vector<std::string> RecordLines() const;
  // Frames of command the programmer received.
  std::size_t Count(sim::Command command) const;

  TempFolder dir;
  std::string settingsPath;
  std::string recordPath;
  RecordingWindow window;
  VirtualTimeLoop loop;
  sim::DeviceModel model;
  bool openFails = false;           // the ports made from now on do not open
  test::PortWatch watch;            // the path and settings last opened
  PortChannel* lastPort = nullptr;  // as the controller holds it
  sim::InProcessPort* lastSimPort = nullptr;
  int portsMade = 0;
  std::vector<sim::Command> received;
  std::function<void(const sim::Frame&)> onFrame;
  std::chrono::milliseconds clockStep{0};  // the wall clock set forward or back meanwhile
  Controller controller;
};

}  // namespace kv218::testing

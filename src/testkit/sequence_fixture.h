#pragma once
// The runs' fixture: a station wired to the simulated programmer in-process, on a virtual-time
// loop: every reply arrives as a message at once, and silent waits run their ticks in microseconds.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "protocol/station.h"
#include "runs/flash_download.h"
#include "runs/run_outcome.h"
#include "runs/target_sequence.h"
#include "runs/waits.h"
#include "sim/device_model.h"
#include "sim/frame_grammar.h"
#include "sim/in_process_port.h"
#include "testkit/recording_window.h"
#include "testkit/virtual_time_loop.h"

namespace kv218::testing {

class SequenceFixture {
 public:
  // faults: simulator fault texts ("silent-at=E", "bad-identity", ...).
  explicit SequenceFixture(const std::vector<std::string>& faults = {});
  ~SequenceFixture();

  RunOutcome Program(int type, const std::string& path);
  RunOutcome Store(int type, const std::string& path);
  // Any session (the read-only ones among them) on the selector's type and the file path.
  RunOutcome Run(RunOutcome (*session)(RunContext&), int type, const std::string& path = {});

  // Called with every frame the programmer receives, before it answers.
  void OnFrame(std::function<void(const sim::Frame&)> hook) { hook_ = std::move(hook); }
  // A burst from the programmer's side, delivered after delay of virtual time (or queued at
  // once behind what is pending).
  void InjectAfter(std::chrono::milliseconds delay, std::vector<std::uint8_t> burst);
  void Inject(std::vector<std::uint8_t> burst);

  // The log with the time stamps of the closing lines replaced by "T".
  std::vector<std::string> Log() const;
  // The commands the programmer received, in order.
  const std::vector<sim::Command>& Received() const { return received_; }
  std::size_t CountReceived(sim::Command command) const;
  // Everything that happened, in order: "frame:<n>" per frame and "sleep:<ms>" per pause.
  const std::vector<std::string>& Events() const { return events_; }

  RecordingWindow window;
  VirtualTimeLoop loop;
  Station station;
  Frames frames{station, window};
  RunControl control;
  RunFollowUp followUp{frames, control};
  std::unique_ptr<sim::DeviceModel> model;
  std::unique_ptr<sim::InProcessPort> port;
  RunContext run;

 private:
  std::vector<sim::Command> received_;
  std::vector<std::string> events_;
  std::function<void(const sim::Frame&)> hook_;
};

// The same "(time stamp)" normalisation for any log.
std::vector<std::string> WithoutTimeStamps(const std::vector<std::string>& log);

// The log lines after the loader's three ("", path, "Loading ... OK ...").
std::vector<std::string> RunLines(const SequenceFixture& fixture);

// The aside after the NG line of a read-back that differs from the file in one byte only:
// at that byte's HEX file address, the file's value and the bits the read-back changed.
std::string OneByteDifferenceText(std::int64_t address, std::uint8_t file, std::uint8_t flipped);

// The window is idle again, and the programmer was told the run began and is over.
void ExpectIdleAfterEndRun(const SequenceFixture& fixture);

}  // namespace kv218::testing

#pragma once
// Gathers the facts of one program or store run as the run reports them (RunEvents): the
// controller opens and closes the run (time, port, file, type, outcome); in between the
// sequences tell the checksum the status bar shows, the steps with their results, the
// identity read, the erase counter, a stop on its own line or a loader error. The
// configuration checksum comes from the station at the end.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/run_events.h"
#include "protocol/station.h"
#include "record/run_record.h"
#include "runs/run_outcome.h"

namespace kv218 {

class RunRecorder final : public RunEvents {
 public:
  struct Opening {
    RunRecord::Kind kind = RunRecord::Kind::Program;
    std::string port;
    std::string hexFile;
    int targetType = 0;
  };

  // A run begins: the facts known before it starts; the HEX file is recorded by its absolute
  // path.
  void Begin(Opening opening, WallTime now, SteadyTime steadyNow);
  // The run's reading of its HEX file gave this digest (none: not read whole, or not read).
  // Taken from the load itself, never from another reading: a file replaced during the run
  // is named by what was programmed.
  void FileRead(std::optional<std::string> sha256);
  bool InRun() const { return inRun_; }

  // What the run did, in order. Nothing is noted outside a run.
  void ImageLoaded(std::string_view checksum) override;
  void LoadFailed(std::string_view message) override;
  void StepStarted(std::string_view line) override;
  void StepResult(std::string_view text) override;
  void IdentityRead(std::string_view values) override;
  void EraseCounterRead(std::uint32_t count) override;
  void ReadBackDiffered(std::int64_t address, std::uint8_t file, std::uint8_t read,
                        std::int64_t count) override;
  void RunStopped(std::string_view line) override;
  void RunEnded(bool succeeded) override;

  // The run goes on with a file it found suspect, for these reasons (its "forced" field).
  void Forced(std::vector<std::string> reasons);

  // The run ended with outcome; the record of it (host and version left to the caller).
  RunRecord End(RunOutcome outcome, const Station& station, WallTime now, SteadyTime steadyNow);

  // Told when the run's closing line is about to be shown, whether it passed: the record can
  // be written and on the disk before anyone reads the verdict.
  void SetEndedHandler(std::function<void(bool succeeded)> handler) {
    onEnded_ = std::move(handler);
  }
  // The run stopped on a time-out (its line was logged).
  bool TimedOut() const { return timedOut_; }
  // The run failed after its steps (what it read could not be kept): the record names this
  // line, not the last step's.
  void FailedAfterSteps(std::string line);

 private:
  struct Step {
    std::string title;  // "3. Programming Program Memory"
    std::string line;   // as the log shows it, results included
  };

  RunRecord record_;
  SteadyTime steadyStart_;
  bool inRun_ = false;
  bool timedOut_ = false;
  std::optional<std::string> failedAfterSteps_;
  std::function<void(bool)> onEnded_;
  // The last step's line is still the log's last line: a result completes it. A line of the
  // run's own (the erase counter's note, a stop, the closing line) ends that.
  bool stepIsLastLine_ = false;
  std::vector<Step> steps_;
  std::optional<std::string> notice_;  // time-out or endurance line, or the loader's error
};

// The outcome as the record names it.
std::string_view ResultName(RunOutcome outcome);

}  // namespace kv218

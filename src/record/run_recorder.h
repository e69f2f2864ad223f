#pragma once
// Gathers the facts of one program or store run where they happen, without the sequences
// knowing: the controller opens and closes the run (time, port, file, type, outcome); what
// the run showed comes from the window operations it made (through LogTap): the checksum on
// the status bar, the step lines with the identity values and the failing step, the time-out
// or endurance line, a loader error, the erase counter's note; the configuration checksum
// comes from the station at the end.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/station.h"
#include "record/run_record.h"
#include "runs/run_outcome.h"

namespace kv218 {

class RunRecorder {
 public:
  struct Opening {
    RunRecord::Kind kind = RunRecord::Kind::Program;
    std::string port;
    std::string hexFile;
    int targetType = 0;
  };

  // A run begins: the facts known before it starts. Hashes the HEX file as it is now and
  // records its absolute path.
  void Begin(Opening opening, WallTime now);
  bool InRun() const { return inRun_; }

  // What the run showed, in order. Nothing is noted outside a run.
  void OnAppendLog(std::string_view line);
  void OnAppendToLastLine(std::string_view text);
  void OnPanelText(int panel, std::string_view text);
  void OnShowError(std::string_view message);

  // The run ended with outcome; the record of it (host and version left to the caller).
  RunRecord End(RunOutcome outcome, const Station& station, WallTime now);

 private:
  RunRecord record_;
  bool inRun_ = false;
  bool pastLoading_ = false;           // the "Loading ..." line went by: step lines may follow
  bool lastLineIsStep_ = false;        // completions go to the last step line
  std::vector<std::string> steps_;     // the run's step lines as they stand
  std::optional<std::string> notice_;  // time-out or endurance line, or the loader's error
};

// The outcome as the record names it.
std::string_view ResultName(RunOutcome outcome);

}  // namespace kv218

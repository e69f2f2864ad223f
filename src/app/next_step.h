#pragma once
// What the operator is told to do after a run that failed or timed out: one line of its own
// after the closing line, naming the likely cause and the next step, so that a pulled cable
// or a silent programmer is not taken for a bad board, nor a board that failed for a bad file.

#include <optional>
#include <string>
#include <string_view>

#include "protocol/run_events.h"
#include "runs/run_outcome.h"

namespace kv218 {

// What the steps of a run said, as far as the next step depends on it.
enum class FailureCause {
  None,
  Identity,  // the identity step ended NG: no board, or another one
  ReadBack,  // a read-back or its verification ended NG
};

// Hears the run's events on their way to next (the recorder) and notes why the run failed.
class FailureWatch final : public RunEvents {
 public:
  explicit FailureWatch(RunEvents& next) : next_(next) {}
  // A run begins: nothing noted yet.
  void Begin() { cause_ = FailureCause::None; }
  FailureCause cause() const { return cause_; }

  void ImageLoaded(std::string_view checksum) override { next_.ImageLoaded(checksum); }
  void LoadFailed(std::string_view message) override { next_.LoadFailed(message); }
  void StepStarted(std::string_view line) override;
  void StepResult(std::string_view text) override;
  void IdentityRead(std::string_view values) override { next_.IdentityRead(values); }
  void EraseCounterRead(std::uint32_t count) override { next_.EraseCounterRead(count); }
  void ReadBackDiffered(std::int64_t address, std::uint8_t file, std::uint8_t read,
                        std::int64_t count) override;
  void RunStopped(std::string_view line) override { next_.RunStopped(line); }
  void RunEnded(bool succeeded) override { next_.RunEnded(succeeded); }

 private:
  RunEvents& next_;
  std::string step_;  // the title of the step in progress
  FailureCause cause_ = FailureCause::None;
};

// The advice for a run that ended with outcome: the port lost during it, else a time-out (no
// byte from the programmer), else a failure the cause explains. targetRun: the run was about a
// board (program, verify target), where re-seating it is the remedy. Nothing otherwise.
std::optional<std::string> NextStepLine(RunOutcome outcome, bool portLost, FailureCause cause,
                                        bool targetRun);

}  // namespace kv218

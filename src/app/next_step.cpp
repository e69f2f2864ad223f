#include "app/next_step.h"

#include "protocol/run_log.h"

namespace kv218 {

void FailureWatch::StepStarted(std::string_view line) {
  step_ = std::string(StepTitle(line));
  next_.StepStarted(line);
}

void FailureWatch::StepResult(std::string_view text) {
  if (text.starts_with(" NG") && cause_ == FailureCause::None) {
    cause_ =
        step_ == StepTitle(kReadDeviceIdStep) ? FailureCause::Identity : FailureCause::ReadBack;
  }
  next_.StepResult(text);
}

void FailureWatch::ReadBackDiffered(std::int64_t address, std::uint8_t file, std::uint8_t read,
                                    std::int64_t count) {
  if (cause_ == FailureCause::None) cause_ = FailureCause::ReadBack;
  next_.ReadBackDiffered(address, file, read, count);
}

std::optional<std::string> NextStepLine(RunOutcome outcome, bool portLost, FailureCause cause,
                                        bool targetRun) {
  if (outcome != RunOutcome::Failed && outcome != RunOutcome::TimedOut) return std::nullopt;
  if (portLost) return "the port was lost: check the cable";
  if (outcome == RunOutcome::TimedOut) {
    return "no byte from the programmer: check the programmer's power and cable, then try again";
  }
  if (cause == FailureCause::Identity) return "no board or a wrong one in the socket: re-seat it";
  if (cause == FailureCause::ReadBack && targetRun) {
    return "re-seat the board and program it again; if it fails twice, set it aside";
  }
  return std::nullopt;
}

}  // namespace kv218

#include "app/board_state.h"

namespace kv218 {

void BoardStateTracker::RunEnded(RunOutcome outcome, bool countsBoard) {
  running_ = false;
  switch (outcome) {
    case RunOutcome::Succeeded:
      verdict_ = Verdict::Succeeded;
      if (countsBoard) ++passed_;
      break;
    case RunOutcome::Failed:
    case RunOutcome::TimedOut:
      verdict_ = Verdict::Failed;
      if (countsBoard) ++failed_;
      break;
    default:
      // Refused, interrupted or not loaded: the board got no verdict, the inputs tell again.
      verdict_ = Verdict::None;
      break;
  }
}

StateShown BoardStateTracker::Shown() const {
  StateShown shown;
  shown.passed = passed_;
  shown.failed = failed_;
  if (running_) {
    shown.state = BoardState::Running;
  } else if (verdict_ == Verdict::Succeeded) {
    shown.state = BoardState::Pass;
  } else if (verdict_ == Verdict::Failed) {
    shown.state = BoardState::Fail;
  } else if (!readiness_.fileLoaded) {
    shown.reason = kNoFileReason;
  } else if (!readiness_.portOpen) {
    shown.reason = kNoPortReason;
  } else if (!readiness_.typeChosen) {
    shown.reason = kNoTypeReason;
  } else {
    shown.state = BoardState::Ready;
  }
  return shown;
}

}  // namespace kv218

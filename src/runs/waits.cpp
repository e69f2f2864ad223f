#include "runs/waits.h"

#include "port/burst_wait.h"

namespace kv218 {

// A reply held up inside by a pause is handed over short before the step gives up, so a
// truncated reply is judged short rather than timed out (the first silent tick may come at
// once, so a wait lasts at least one tick less than its limit).
static_assert(kLongestPauseInReply < std::chrono::seconds(kTargetTimeoutTicks - 1));

bool CheckTimeout(RunContext& run, std::int32_t limit) {
  // A close request ends the run at once, without waiting for the next message.
  if (run.control.closeRequested) return true;
  run.loop.WaitForMessages();
  if (run.control.closeRequested) return true;
  if (run.station.TimeOutCount < limit) return false;
  run.loop.SetTimer1(false);
  LogOf(run).TimedOut();
  return true;
}

WaitResult AwaitFlag(RunContext& run, const std::int32_t& flag, std::int32_t limit) {
  run.station.TimeOutCount = 0;
  while (flag == 0) {
    if (CheckTimeout(run, limit)) {
      AbortRun(run);
      return run.control.closeRequested ? WaitResult::Closed : WaitResult::TimedOut;
    }
  }
  return WaitResult::FlagSet;
}

void AbortRun(RunContext& run) {
  run.loop.SetTimer1(false);
  run.window.SetButtonsEnabled(true);
  run.frames.EndRun();
}

void EndRunNormally(RunContext& run) {
  run.frames.EndRun();
  run.loop.SetTimer1(false);
  run.window.SetButtonsEnabled(true);
}

}  // namespace kv218

#include "runs/waits.h"

#include "port/burst_wait.h"

namespace kv218 {

// A reply held up inside by a pause is handed over short before the step gives up, so a
// truncated reply is judged short rather than timed out (the first silent tick may come at
// once, so a wait lasts at least one tick less than its limit).
static_assert(kLongestPauseInReply < std::chrono::seconds(kTargetTimeoutTicks - 1));

namespace {

// A wait finishes on a close only while there is a port to bring the reply (the window's
// close itself closes it).
bool StopsOnClose(const RunContext& run, OnClose onClose) {
  return onClose == OnClose::Stop || run.station.port == nullptr;
}

}  // namespace

bool CheckTimeout(RunContext& run, std::int32_t limit, OnClose onClose) {
  // A close request ends the run at once, without waiting for the next message.
  const bool stopOnClose = StopsOnClose(run, onClose);
  if (stopOnClose && run.control.closeRequested) return true;
  run.loop.WaitForMessages();
  if (stopOnClose && run.control.closeRequested) return true;
  if (run.station.TimeOutCount < limit) return false;
  run.loop.SetTickTimer(false);
  LogOf(run).TimedOut();
  return true;
}

WaitResult AwaitFlag(RunContext& run, const std::int32_t& flag, std::int32_t limit,
                     OnClose onClose) {
  run.station.TimeOutCount = 0;
  while (flag == 0) {
    if (CheckTimeout(run, limit, onClose)) {
      AbortRun(run);
      return StopReason(run, onClose);
    }
  }
  return WaitResult::FlagSet;
}

WaitResult StopReason(const RunContext& run, OnClose onClose) {
  // A wait that finishes on a close stops only at its time-out.
  return StopsOnClose(run, onClose) && run.control.closeRequested ? WaitResult::Closed
                                                                  : WaitResult::TimedOut;
}

void AbortRun(RunContext& run) {
  run.loop.SetTickTimer(false);
  run.window.SetButtonsEnabled(true);
  run.frames.EndRun();
}

void EndRunNormally(RunContext& run) {
  run.frames.EndRun();
  run.loop.SetTickTimer(false);
  run.window.SetButtonsEnabled(true);
}

}  // namespace kv218

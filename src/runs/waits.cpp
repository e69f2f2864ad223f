#include "runs/waits.h"

#include <string>

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

// A close request ends the wait once the frame in flight has its answer, or once it has had
// the step's time-out (limit ticks since it went out, bytes or not): a programmer that takes
// in a frame by the silence after it would read an EndRun right behind it as part of it.
// Without a port no answer can come.
bool EndsOnClose(const RunContext& run, std::int32_t limit, OnClose onClose) {
  const AwaitedReply& awaited = run.station.awaited;
  return run.control.closeRequested && StopsOnClose(run, onClose) &&
         (run.station.port == nullptr || !awaited.pending || awaited.ticks >= limit);
}

std::string NoAnswerLine(std::int32_t ticks) {
  return "<<WARNING>> The KV-218 sent bytes but no answer for " + std::to_string(ticks) +
         " seconds";
}

}  // namespace

bool CheckTimeout(RunContext& run, std::int32_t limit, OnClose onClose) {
  // A close request ends the run without waiting for the next message.
  if (EndsOnClose(run, limit, onClose)) return true;
  run.loop.WaitForMessages();
  if (EndsOnClose(run, limit, onClose)) return true;
  const std::int32_t answerLimit = limit * kAnswerLimitFactor;
  const bool silent = run.station.TimeOutCount >= limit;
  if (!silent && run.station.awaited.ticks < answerLimit) return false;
  run.loop.SetTickTimer(false);
  if (!silent) {
    // Bytes kept the silence count down (noise, a programmer stuck sending): said first, on
    // a line of its own, and told to the record as the run's stop.
    const std::string line = NoAnswerLine(answerLimit);
    run.window.AppendLog(line);
    run.station.events->RunStopped(line);
  }
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
  if (EndsOnClose(run, limit, onClose)) {
    // The answer came after a close request: the run ends here, before its next command.
    AbortRun(run);
    return WaitResult::Closed;
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

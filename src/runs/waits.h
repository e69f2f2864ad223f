#pragma once
// The waits of both programming sequences: a step sends its frame, then waits for the reply
// flag that the receive side sets, giving up after a number of silent ticks of the tick timer.
// Each pass sleeps in MessageLoop::WaitForMessages until at least one message (a tick, a
// burst, a click) was handled, so a wait costs no CPU while the programmer works.

#include <chrono>
#include <cstdint>

#include "runs/run_context.h"

namespace kv218 {

// Silent ticks after which a wait gives up.
inline constexpr std::int32_t kTargetTimeoutTicks = 6;
inline constexpr std::int32_t kFlashTimeoutTicks = 16;

inline constexpr std::chrono::milliseconds kBeginRunPause{100};

enum class WaitResult {
  FlagSet,   // the reply came
  TimedOut,  // limit ticks without a byte from the programmer; the run was aborted
  Closed,    // a close request ended the run; it was aborted
};

// What a close request does to a wait.
enum class OnClose {
  Stop,    // the wait ends at once
  Finish,  // the wait goes on until its reply or the time-out: the programmer is in the
           // middle of something the host must see through (an erase and its count)
};

// Handles messages (sleeping until at least one arrived) and tells whether the run must stop.
// On a time-out it switches the tick timer off and logs the time-out and failure lines. A close
// request stops the run without log lines, unless the wait finishes on a close.
bool CheckTimeout(RunContext& run, std::int32_t limit, OnClose onClose = OnClose::Stop);

// Zeroes TimeOutCount, then waits until flag is not 0. When the run must stop it ends it
// through AbortRun and says why.
WaitResult AwaitFlag(RunContext& run, const std::int32_t& flag, std::int32_t limit,
                     OnClose onClose = OnClose::Stop);

// Why a wait that had to stop stopped.
WaitResult StopReason(const RunContext& run, OnClose onClose);

// The time-out exit: the tick timer off, the three buttons enabled, EndRun sent. Flags, transfer
// state and images stay as they are.
void AbortRun(RunContext& run);

// The common end of a run: EndRun sent, the tick timer off, the three buttons enabled.
void EndRunNormally(RunContext& run);

}  // namespace kv218

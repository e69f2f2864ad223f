#pragma once
// The waits of both programming sequences: a step sends its frame, then waits for the reply
// flag that the receive side sets, giving up after a number of silent ticks of the tick timer.
// Each pass sleeps in MessageLoop::WaitForMessages until at least one message (a tick, a
// burst, a click) was handled, so a wait costs no CPU while the programmer works.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

#include "ground/message_loop.h"
#include "ground/window_ops.h"
#include "image/hex_loader.h"
#include "image/image_source.h"
#include "protocol/frames.h"
#include "protocol/run_log.h"
#include "protocol/station.h"

namespace kv218 {

// Silent ticks after which a wait gives up.
inline constexpr std::int32_t kTargetTimeoutTicks = 6;
inline constexpr std::int32_t kFlashTimeoutTicks = 16;

inline constexpr std::chrono::milliseconds kBeginRunPause{100};

// What the window thread knows about the run in progress (owned by the controller).
struct RunControl {
  bool running = false;
  bool closeRequested = false;  // the window is closing (or the command line was interrupted)
  int AutoProgramResult = -1;   // result byte of the last AutoProgram reply, -1 before one
  LoadOptions loadOptions;      // how every load reads the file (the window: the defaults)
  LoadResult lastLoad;          // the outcome of the last load, by a run or the load button
  // The store has asked the programmer to erase its flash: from here on, until the store's
  // end, the image it holds is incomplete.
  bool flashEraseAsked = false;
};

// Everything a sequence drives. The sleeper is the blocking pause after BeginRun; tests
// replace it with a virtual one. images, when set, gives the run's reload of its file
// instead of the file itself. loaded, when set, is told of the run's reload once it has
// shown its lines, before the first frame; false refuses the run (nothing is sent).
struct RunContext {
  Station& station;
  WindowOps& window;
  MessageLoop& loop;
  Frames& frames;
  RunControl& control;
  std::function<void(std::chrono::milliseconds)> sleep;
  ImageSource* images = nullptr;
  std::function<bool(const LoadResult&)> loaded = {};
  // The first word of the run's failure line, which a time-out writes too: "PROGRAMMING",
  // or "VERIFY" and "READ" for the sessions that only read.
  std::string_view verdictWord = kProgrammingVerdict;
};

// The run's lines that the record follows, written to its window and told to its station's
// RunEvents.
inline RunLog LogOf(RunContext& run) {
  return RunLog(run.window, *run.station.events, run.verdictWord);
}

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

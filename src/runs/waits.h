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
// A wait also gives up when the answer to the frame sent last has not come within this many
// times its silence limit in ticks, bytes or not (60 ticks, 160 for the programmer's flash):
// far above any honest step, and a line that keeps bringing noise can no longer hold a run.
inline constexpr std::int32_t kAnswerLimitFactor = 10;

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
// On a time-out (limit silent ticks, or limit * kAnswerLimitFactor ticks since the last frame
// without its answer, said on a line of its own first) it switches the tick timer off and logs
// the time-out and failure lines. A close request stops the run without log lines once the
// frame in flight has its answer, or has had limit ticks for it, unless the wait finishes on
// a close.
bool CheckTimeout(RunContext& run, std::int32_t limit, OnClose onClose = OnClose::Stop);

// Zeroes TimeOutCount, then waits until flag is not 0. When the run must stop it ends it
// through AbortRun and says why; a flag set after a close request ends the run too (Closed),
// so that no further command goes out.
WaitResult AwaitFlag(RunContext& run, const std::int32_t& flag, std::int32_t limit,
                     OnClose onClose = OnClose::Stop);

// The next frames of a block transfer, as the reply decoding asks for them, held back once a
// close is requested: the run then ends after the reply to the frame in flight, so EndRun
// never goes out behind a frame the programmer has not answered.
class RunFollowUp final : public FollowUpSender {
 public:
  RunFollowUp(Frames& frames, const RunControl& control) : frames_(frames), control_(control) {}
  void ReadProgram() override {
    if (!control_.closeRequested) frames_.ReadProgram();
  }
  void ReadProgram(int family) override {
    if (!control_.closeRequested) frames_.ReadProgram(family);
  }
  void WriteProgram() override {
    if (!control_.closeRequested) frames_.WriteProgram();
  }
  void WriteProgram(int family) override {
    if (!control_.closeRequested) frames_.WriteProgram(family);
  }
  void FlashWriteData() override {
    if (!control_.closeRequested) frames_.FlashWriteData();
  }
  void FlashReadData() override {
    if (!control_.closeRequested) frames_.FlashReadData();
  }

 private:
  Frames& frames_;
  const RunControl& control_;
};

// Why a wait that had to stop stopped.
WaitResult StopReason(const RunContext& run, OnClose onClose);

// The time-out exit: the tick timer off, the three buttons enabled, EndRun sent. Flags, transfer
// state and images stay as they are.
void AbortRun(RunContext& run);

// The common end of a run: EndRun sent, the tick timer off, the three buttons enabled.
void EndRunNormally(RunContext& run);

}  // namespace kv218

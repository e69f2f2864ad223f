#pragma once
// The board state both windows show over a large area (NOT READY, READY, RUNNING, PASS, FAIL)
// and the session's count of boards, decided here so that the windows only paint it. A
// verdict stays until something the operator does makes it stale: a load, a run, another port
// or type, or the port going away.

#include <string_view>

#include "ground/window_ops.h"
#include "runs/run_outcome.h"

namespace kv218 {

// What a run needs from the window before PC -> Target may start.
struct Readiness {
  bool fileLoaded = false;
  bool portOpen = false;
  bool typeChosen = false;
};

inline constexpr std::string_view kNoFileReason = "no file loaded";
inline constexpr std::string_view kNoPortReason = "port not open";
inline constexpr std::string_view kNoTypeReason = "no target type";

class BoardStateTracker {
 public:
  // The file, port or type changed (a load, a port change or loss, a type change): a verdict
  // shown so far no longer tells about what is in the window now.
  void InputsChanged(const Readiness& now) {
    readiness_ = now;
    verdict_ = Verdict::None;
  }
  // The same inputs, read again (the port back, the start-up): the verdict stays.
  void InputsRead(const Readiness& now) { readiness_ = now; }
  void RunStarted() {
    running_ = true;
    verdict_ = Verdict::None;
  }
  // countsBoard: a PC -> Target run, whose verdict is one more board passed or failed.
  void RunEnded(RunOutcome outcome, bool countsBoard);

  // Every input in place: a key may start PC -> Target (also while a verdict is shown).
  bool CanStart() const {
    return !running_ && readiness_.fileLoaded && readiness_.portOpen && readiness_.typeChosen;
  }
  StateShown Shown() const;

 private:
  Readiness readiness_;
  bool running_ = false;
  Verdict verdict_ = Verdict::None;
  int passed_ = 0;
  int failed_ = 0;
};

}  // namespace kv218

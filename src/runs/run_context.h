#pragma once
// What a run works with: RunControl, what the window thread knows about the run in progress,
// and RunContext, everything a sequence drives, handed to it for its whole length.

#include <chrono>
#include <functional>
#include <string_view>

#include "ground/message_loop.h"
#include "ground/window_ops.h"
#include "image/hex_loader.h"
#include "image/image_source.h"
#include "image/target_types.h"
#include "protocol/frames.h"
#include "protocol/run_log.h"
#include "protocol/station.h"

namespace kv218 {

// What the window thread knows about the run in progress (owned by the controller).
struct RunControl {
  bool running = false;
  bool closeRequested = false;  // the window is closing (or the command line was interrupted)
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
  // Asked by a read before its closing line whether what it read is kept (written where it
  // goes); false fails the read. Unset: kept.
  std::function<bool()> keep = {};
  // The first word of the run's failure line, which a time-out writes too: "PROGRAMMING",
  // or "VERIFY" and "READ" for the sessions that only read.
  std::string_view verdictWord = kProgrammingVerdict;
  // The run's target type and its row (null for no type), read once as the run starts
  // (HoldTargetType): every frame, block count and check of the run belongs to it.
  TargetType type = TargetType::None;
  const TargetTypeRow* target = nullptr;
};

// The selector's type of this moment becomes the run's for its whole length.
inline void HoldTargetType(RunContext& run) {
  run.type = run.window.SelectedType();
  run.target = RowOf(run.type);
}

// The run's lines that the record follows, written to its window and told to its station's
// RunEvents.
inline RunLog LogOf(RunContext& run) {
  return RunLog(run.window, *run.station.events, run.verdictWord);
}

}  // namespace kv218

#pragma once
// Follows the programmer's own stand-alone runs through its status reports: the opening
// report (code 0) starts one, the values of codes 1 to 5 are kept, and the closing report
// (6 failed, 7 succeeded) finishes it, counted in the tally and handed on as a record.
// Reports inside a command reply (a burst that begins with the reply lead byte) are data the
// host asked for, not a run, and are left out.
// A run that never closes (the programmer reset in its middle, the watch stopped) is handed on
// as unfinished when the next one opens, when the watch ends, or after a bound of silence.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "protocol/report_carry.h"
#include "record/run_record.h"

namespace kv218 {

struct StandaloneTally {
  int passed = 0;
  int failed = 0;
  int unfinished = 0;
};

// Ticks of the tick timer without a burst after which an open stand-alone run is given up: far
// longer than the programmer is silent between the reports of a run.
inline constexpr int kStandaloneSilenceTicks = 60;

class StandaloneRunWatch {
 public:
  using OnFinished = std::function<void(const RunRecord&)>;

  // One burst from the programmer, at now (and steadyNow on the steady clock, which the
  // run's duration is measured on); onFinished for each run it closes (host, version and port
  // left to the caller).
  void OnBurst(const std::uint8_t* data, std::size_t count, WallTime now,
               const OnFinished& onFinished, std::optional<SteadyTime> steadyNow = std::nullopt);
  // One tick of the tick timer: a run open for kStandaloneSilenceTicks ticks without a burst
  // is handed on as unfinished.
  void OnTick(const OnFinished& onFinished);
  // The watch ends (the port closes, a run of the host's own begins): a run still open is
  // handed on as unfinished.
  void Abandon(const OnFinished& onFinished);
  // A run has opened and not closed: the caller keeps the tick timer going for it.
  bool RunOpen() const { return open_; }
  const StandaloneTally& tally() const { return tally_; }

 private:
  enum class Ending { Succeeded, Failed, Unfinished };
  void Finish(Ending ending, WallTime end, std::optional<SteadyTime> steadyEnd,
              const OnFinished& onFinished);

  RunRecord run_;
  std::optional<SteadyTime> steadyStart_;
  bool open_ = false;
  WallTime lastHeard_{};  // the last report of the open run: where an unfinished one ends
  int silentTicks_ = 0;
  StandaloneTally tally_;
  ReportCarry carry_;  // a report the end of the last burst cut off
};

}  // namespace kv218

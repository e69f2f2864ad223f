#pragma once
// Follows the programmer's own stand-alone runs through its status reports: the opening
// report (code 0) starts one, the values of codes 1 to 5 are kept, and the closing report
// (6 failed, 7 succeeded) finishes it, counted in the tally and handed on as a record.
// Reports inside a command reply (a burst that begins with the reply lead byte) are data the
// host asked for, not a run, and are left out.

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
};

class StandaloneRunWatch {
 public:
  using OnFinished = std::function<void(const RunRecord&)>;

  // One burst from the programmer, at now (and steadyNow on the steady clock, which the
  // run's duration is measured on); onFinished for each run it closes (host, version and port
  // left to the caller).
  void OnBurst(const std::uint8_t* data, std::size_t count, WallTime now,
               const OnFinished& onFinished, std::optional<SteadyTime> steadyNow = std::nullopt);
  const StandaloneTally& tally() const { return tally_; }

 private:
  RunRecord run_;
  std::optional<SteadyTime> steadyStart_;
  StandaloneTally tally_;
  ReportCarry carry_;  // a report the end of the last burst cut off
};

}  // namespace kv218

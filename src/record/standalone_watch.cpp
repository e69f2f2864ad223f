#include "record/standalone_watch.h"

#include "ground/text.h"
#include "protocol/status_reports.h"

namespace kv218 {

namespace {
constexpr std::uint8_t kReplyLead = 0x1F;
}

void StandaloneRunWatch::OnBurst(const std::uint8_t* data, std::size_t count, WallTime now,
                                 const OnFinished& onFinished,
                                 std::optional<SteadyTime> steadyNow) {
  silentTicks_ = 0;
  if (count == 0 || data[0] == kReplyLead) {
    carry_ = {};
    return;
  }
  ForEachStatusReport(carry_, data, count, [&](const StatusReport& report) {
    if (report.code == kReportStart) {
      // An opening while a run is open: the programmer began again without closing the last.
      if (open_) Finish(Ending::Unfinished, lastHeard_, std::nullopt, onFinished);
      run_ = RunRecord{};
      run_.start = now;
      steadyStart_ = steadyNow;
    }
    switch (report.code) {
      case kReportStart:
        break;
      case kReportReady:
        run_.deviceReady = Hex(report.value, 2);
        break;
      case kReportCodeWritten:
        run_.codeProgrammed = Hex(report.value, 4);
        break;
      case kReportCodeVerified:
        run_.codeVerified = Hex(report.value, 4);
        break;
      case kReportConfigWritten:
        run_.configProgrammed = Hex(report.value, 4);
        break;
      case kReportConfigVerified:
        run_.configVerified = Hex(report.value, 4);
        break;
      default:
        Finish(report.code == kReportSucceeded ? Ending::Succeeded : Ending::Failed, now, steadyNow,
               onFinished);
        return;
    }
    open_ = true;
    lastHeard_ = now;
  });
}

void StandaloneRunWatch::OnTick(const OnFinished& onFinished) {
  if (!open_) return;
  if (++silentTicks_ >= kStandaloneSilenceTicks)
    Finish(Ending::Unfinished, lastHeard_, std::nullopt, onFinished);
}

void StandaloneRunWatch::Abandon(const OnFinished& onFinished) {
  carry_ = {};
  if (open_) Finish(Ending::Unfinished, lastHeard_, std::nullopt, onFinished);
}

void StandaloneRunWatch::Finish(Ending ending, WallTime end, std::optional<SteadyTime> steadyEnd,
                                const OnFinished& onFinished) {
  RunRecord finished = std::move(run_);
  run_ = RunRecord{};
  open_ = false;
  silentTicks_ = 0;
  finished.kind = RunRecord::Kind::Standalone;
  finished.end = end;
  // Measured on the steady clock where both ends were seen on it; else end - start.
  if (finished.start && steadyStart_ && steadyEnd) {
    finished.elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(*steadyEnd - *steadyStart_);
  }
  steadyStart_.reset();
  switch (ending) {
    case Ending::Succeeded:
      ++tally_.passed;
      finished.result = "succeeded";
      break;
    case Ending::Failed:
      ++tally_.failed;
      finished.result = "failed";
      break;
    case Ending::Unfinished:
      ++tally_.unfinished;
      finished.result = "unfinished";
      break;
  }
  if (onFinished) onFinished(finished);
}

}  // namespace kv218

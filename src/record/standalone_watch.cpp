#include "record/standalone_watch.h"

#include "ground/text.h"
#include "protocol/status_reports.h"

namespace kv218 {

namespace {
constexpr std::uint8_t kReplyLead = 0x1F;
}

void StandaloneRunWatch::OnBurst(const std::uint8_t* data, std::size_t count, WallTime now,
                                 const OnFinished& onFinished) {
  silentTicks_ = 0;
  if (count == 0 || data[0] == kReplyLead) {
    carry_ = {};
    return;
  }
  ForEachStatusReport(carry_, data, count, [&](const StatusReport& report) {
    if (report.code == kReportStart) {
      // An opening while a run is open: the programmer began again without closing the last.
      if (open_) Finish(Ending::Unfinished, lastHeard_, onFinished);
      run_ = RunRecord{};
      run_.start = now;
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
        Finish(report.code == kReportSucceeded ? Ending::Succeeded : Ending::Failed, now,
               onFinished);
        return;
    }
    open_ = true;
    lastHeard_ = now;
  });
}

void StandaloneRunWatch::OnTick(const OnFinished& onFinished) {
  if (!open_) return;
  if (++silentTicks_ >= kStandaloneSilenceTicks) Finish(Ending::Unfinished, lastHeard_, onFinished);
}

void StandaloneRunWatch::Abandon(const OnFinished& onFinished) {
  carry_ = {};
  if (open_) Finish(Ending::Unfinished, lastHeard_, onFinished);
}

void StandaloneRunWatch::Finish(Ending ending, WallTime end, const OnFinished& onFinished) {
  RunRecord finished = std::move(run_);
  run_ = RunRecord{};
  open_ = false;
  silentTicks_ = 0;
  finished.kind = RunRecord::Kind::Standalone;
  finished.end = end;
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

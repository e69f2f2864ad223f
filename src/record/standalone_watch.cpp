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
  if (count == 0 || data[0] == kReplyLead) {
    carry_ = {};
    return;
  }
  ForEachStatusReport(carry_, data, count, [&](const StatusReport& report) {
    switch (report.code) {
      case kReportStart:
        run_ = RunRecord{};
        run_.start = now;
        steadyStart_ = steadyNow;
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
      default: {
        const bool passed = report.code == kReportSucceeded;
        ++(passed ? tally_.passed : tally_.failed);
        RunRecord finished = std::move(run_);
        run_ = RunRecord{};
        finished.kind = RunRecord::Kind::Standalone;
        finished.end = now;
        if (finished.start && steadyStart_ && steadyNow) {
          finished.elapsed =
              std::chrono::duration_cast<std::chrono::milliseconds>(*steadyNow - *steadyStart_);
        }
        steadyStart_.reset();
        finished.result = passed ? "succeeded" : "failed";
        if (onFinished) onFinished(finished);
        break;
      }
    }
  });
}

}  // namespace kv218

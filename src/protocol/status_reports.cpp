#include "protocol/status_reports.h"

#include <cstring>
#include <string>

#include "ground/text.h"
#include "protocol/device_text.h"
#include "protocol/run_log.h"

namespace kv218 {
namespace {

void LogReport(WindowOps& window, const StatusReport& report, std::time_t now) {
  static constexpr const char* kValueTitles[] = {
      "2. Programming Code Memory ( 0x",
      "3. Verify Code Memory ( 0x",
      "4. Programming Configuration Bits ( 0x",
      "5. Verify Configuration Bits ( 0x",
  };
  switch (report.code) {
    case kReportStart:
      window.AppendAside("");
      window.AppendAside(TimedLine("KV-218 TO TARGET ... (", now));
      break;
    case kReportReady:
      window.AppendAside("1. Check Device Ready ( 0x" + Hex(report.value, 2) + " )");
      break;
    case kReportFailed:
      window.AppendAside(TimedLine(kFailedHead, now));
      break;
    case kReportSucceeded:
      window.AppendAside(TimedLine(kSucceededHead, now));
      break;
    default:
      window.AppendAside(std::string(kValueTitles[report.code - 2]) + Hex(report.value, 4) + " )");
      break;
  }
}

}  // namespace

void LogStatusReports(WindowOps& window, ReportCarry& carry, const std::uint8_t* bytes,
                      std::size_t count, std::time_t now) {
  ForEachStatusReport(carry, bytes, count,
                      [&](const StatusReport& report) { LogReport(window, report, now); });
}

StatusReportSpan SpanOfStatusReports(const std::uint8_t* bytes, std::size_t count) {
  constexpr std::uint8_t kEsc = 0x1B;
  constexpr std::uint8_t kMark = 0x53;  // 'S'
  StatusReportSpan span;
  const std::uint8_t* end = bytes + count;
  for (const std::uint8_t* p = bytes; p < end; ++p) {
    p = static_cast<const std::uint8_t*>(std::memchr(p, kEsc, static_cast<std::size_t>(end - p)));
    if (p == nullptr) break;
    const std::size_t left = static_cast<std::size_t>(end - p);
    if (left > 1 && p[1] != kMark) continue;
    if (left <= 2) {
      span.openAtEnd = true;
      break;
    }
    if (p[2] <= kReportSucceeded) span.bytes += StatusReportLength(p[2]);
  }
  return span;
}

bool LogInformationReply(WindowOps& window, const std::uint8_t* bytes, std::size_t count) {
  if (count < 3 || bytes[0] != 0x1F || bytes[1] != 0x2D) return false;
  if (bytes[2] == 0x53) {
    window.AppendAside("<<NOTE>> FACTORY SETTING");
    return true;
  }
  if (bytes[2] != 0x46) return false;
  std::string line = "<<NOTE>> ";
  AppendDeviceText(line, bytes + 2, count - 2);
  window.AppendAside(line);
  return true;
}

void LogNoteContinued(WindowOps& window, const std::uint8_t* bytes, std::size_t count) {
  std::string line = "<<NOTE>> (continued) ";
  AppendDeviceText(line, bytes, count);
  window.AppendAside(line);
}

}  // namespace kv218

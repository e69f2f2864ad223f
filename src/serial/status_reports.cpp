#include "serial/status_reports.h"

#include <cstring>
#include <string>

#include "ground/text.h"

namespace kv218 {
namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kReportMark = 0x53;  // 'S'
constexpr std::uint8_t kLastCode = 7;

// Bytes of a report with the given code: codes 0, 6 and 7 carry no value, code 1 one byte,
// codes 2 to 5 a big-endian 16-bit value.
constexpr std::size_t ReportLength(std::uint8_t code) {
  if (code == 1) return 4;
  if (code >= 2 && code <= 5) return 5;
  return 3;
}

std::string Stamped(const char* head, std::time_t now) {
  return std::string(head) + TimeStampText(now) + ")";
}

void LogReport(WindowOps& window, const std::uint8_t* report, std::time_t now) {
  static constexpr const char* kValueTitles[] = {
      "2. Programming Code Memory ( 0x",
      "3. Verify Code Memory ( 0x",
      "4. Programming Configuration Bits ( 0x",
      "5. Verify Configuration Bits ( 0x",
  };
  const std::uint8_t code = report[2];
  switch (code) {
    case 0:
      window.AppendLog("");
      window.AppendLog(Stamped("KV-218 TO TARGET ... (", now));
      break;
    case 1:
      window.AppendLog("1. Check Device Ready ( 0x" + Hex(report[3], 2) + " )");
      break;
    case 6:
      window.AppendLog(Stamped("PROGRAMMING FAILED. (", now));
      break;
    case 7:
      window.AppendLog(Stamped("PROGRAMMING SUCCEEDED. (", now));
      break;
    default: {
      const unsigned value = report[3] * 256u + report[4];
      window.AppendLog(std::string(kValueTitles[code - 2]) + Hex(value, 4) + " )");
      break;
    }
  }
}

}  // namespace

void LogStatusReports(WindowOps& window, const std::uint8_t* bytes, std::size_t count,
                      std::time_t now) {
  // Every position is tried, also inside a report just matched: the programmer's reports
  // never overlap, and a data reply that happens to carry ESC 'S' n is logged as a report.
  for (std::size_t i = 0; i + 3 <= count; ++i) {
    if (bytes[i] != kEsc || bytes[i + 1] != kReportMark || bytes[i + 2] > kLastCode) continue;
    if (i + ReportLength(bytes[i + 2]) > count) continue;  // cut off: its values never came
    LogReport(window, bytes + i, now);
  }
}

StatusReportSpan SpanOfStatusReports(const std::uint8_t* bytes, std::size_t count) {
  StatusReportSpan span;
  const std::uint8_t* end = bytes + count;
  for (const std::uint8_t* p = bytes; p < end; ++p) {
    p = static_cast<const std::uint8_t*>(std::memchr(p, kEsc, static_cast<std::size_t>(end - p)));
    if (p == nullptr) break;
    const std::size_t left = static_cast<std::size_t>(end - p);
    if (left > 1 && p[1] != kReportMark) continue;
    if (left <= 2) {
      span.openAtEnd = true;
      break;
    }
    if (p[2] <= kLastCode) span.bytes += ReportLength(p[2]);
  }
  return span;
}

bool LogInformationReply(WindowOps& window, const std::uint8_t* bytes, std::size_t count) {
  if (count < 3 || bytes[0] != 0x1F || bytes[1] != 0x2D) return false;
  if (bytes[2] == 0x53) {
    window.AppendLog("<<NOTE>> FACTORY SETTING");
    return true;
  }
  if (bytes[2] != 0x46) return false;
  std::string line = "<<NOTE>> ";
  for (std::size_t i = 2; i < count; ++i) {
    if (bytes[i] != 0) line.push_back(static_cast<char>(bytes[i]));  // a zero adds nothing
  }
  window.AppendLog(line);
  return true;
}

}  // namespace kv218

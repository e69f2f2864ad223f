#include "serial/status_reports.h"

#include <algorithm>
#include <array>
#include <string>
#include <tuple>

#include "ground/device_text.h"
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

// Bytes a cut-off report can have: one less than the longest report.
constexpr std::size_t kCarryBytes = std::tuple_size_v<decltype(ReportCarry::bytes)>;
static_assert(kCarryBytes + 1 == ReportLength(2));

// How the n bytes at p stand as the start of a report.
enum class Fit {
  None,    // no report starts here
  CutOff,  // a report starts here, but its last bytes lie past n
  Whole,   // a whole report
};

Fit FitOf(const std::uint8_t* p, std::size_t n) {
  if (p[0] != kEsc) return Fit::None;
  if (n >= 2 && p[1] != kReportMark) return Fit::None;
  if (n >= 3 && p[2] > kLastCode) return Fit::None;
  return n >= 3 && n >= ReportLength(p[2]) ? Fit::Whole : Fit::CutOff;
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
      window.AppendAside("");
      window.AppendAside(Stamped("KV-218 TO TARGET ... (", now));
      break;
    case 1:
      window.AppendAside("1. Check Device Ready ( 0x" + Hex(report[3], 2) + " )");
      break;
    case 6:
      window.AppendAside(Stamped("PROGRAMMING FAILED. (", now));
      break;
    case 7:
      window.AppendAside(Stamped("PROGRAMMING SUCCEEDED. (", now));
      break;
    default: {
      const unsigned value = report[3] * 256u + report[4];
      window.AppendAside(std::string(kValueTitles[code - 2]) + Hex(value, 4) + " )");
      break;
    }
  }
}

}  // namespace

void LogStatusReports(WindowOps& window, ReportCarry& carry, const std::uint8_t* bytes,
                      std::size_t count, std::time_t now) {
  ReportCarry next;
  auto keep = [&next](const std::uint8_t* start, std::size_t n) {
    if (next.count > 0) return;  // the earliest cut-off start is kept; it holds the later ones
    std::copy(start, start + n, next.bytes.begin());
    next.count = n;
  };
  // A report that the last read cut off, completed with the first bytes of this one. Starts
  // after the carried bytes lie wholly in this read and are found below.
  if (carry.count > 0) {
    std::array<std::uint8_t, 2 * kCarryBytes> joined{};
    std::copy(carry.bytes.begin(), carry.bytes.begin() + carry.count, joined.begin());
    const std::size_t added = std::min(count, kCarryBytes);
    std::copy(bytes, bytes + added, joined.begin() + carry.count);
    const std::size_t length = carry.count + added;
    for (std::size_t j = 0; j < carry.count; ++j) {
      const Fit fit = FitOf(joined.data() + j, length - j);
      if (fit == Fit::Whole) LogReport(window, joined.data() + j, now);
      if (fit == Fit::CutOff) keep(joined.data() + j, length - j);
    }
  }
  // Every position is tried, also inside a report just matched: the programmer's reports
  // never overlap, and a data reply that happens to carry ESC 'S' n is logged as a report.
  for (std::size_t i = 0; i < count; ++i) {
    const Fit fit = FitOf(bytes + i, count - i);
    if (fit == Fit::Whole) LogReport(window, bytes + i, now);
    if (fit == Fit::CutOff) keep(bytes + i, count - i);
  }
  carry = next;
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

}  // namespace kv218

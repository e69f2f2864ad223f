#pragma once
// What the programmer sends on its own: the status reports of its stand-alone runs
// (ESC 'S' code [values]) and the notes that answer QueryInfo. Both only log, as lines aside
// (WindowOps::AppendAside): they may come in the middle of a step, whose result still belongs
// on the step's line.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <tuple>

#include "ground/window_ops.h"
#include "protocol/report_carry.h"

namespace kv218 {

// One status report as it arrived: its code 0..7 and its value (code 1: one byte; codes 2 to 5:
// big-endian 16 bits; 0 for the others).
struct StatusReport {
  std::uint8_t code = 0;
  unsigned value = 0;
};

inline constexpr std::uint8_t kReportStart = 0;           // the programmer begins a stand-alone run
inline constexpr std::uint8_t kReportReady = 1;           // device ready, with its state byte
inline constexpr std::uint8_t kReportCodeWritten = 2;     // code memory programmed, its checksum
inline constexpr std::uint8_t kReportCodeVerified = 3;    // code memory verified, its checksum
inline constexpr std::uint8_t kReportConfigWritten = 4;   // configuration bits programmed
inline constexpr std::uint8_t kReportConfigVerified = 5;  // configuration bits verified
inline constexpr std::uint8_t kReportFailed = 6;          // the run failed
inline constexpr std::uint8_t kReportSucceeded = 7;       // the run succeeded

// Bytes of a report with the given code: codes 0, 6 and 7 carry no value, code 1 one byte,
// codes 2 to 5 a big-endian 16-bit value.
constexpr std::size_t StatusReportLength(std::uint8_t code) {
  if (code == 1) return 4;
  if (code >= 2 && code <= 5) return 5;
  return 3;
}

namespace detail {

// How the n bytes at p stand as the start of a report.
enum class ReportFit {
  None,    // no report starts here
  CutOff,  // a report starts here, but its last bytes lie past n
  Whole,   // a whole report
};

inline ReportFit FitOfReport(const std::uint8_t* p, std::size_t n) {
  if (p[0] != 0x1B) return ReportFit::None;
  if (n >= 2 && p[1] != 0x53) return ReportFit::None;
  if (n >= 3 && p[2] > kReportSucceeded) return ReportFit::None;
  return n >= 3 && n >= StatusReportLength(p[2]) ? ReportFit::Whole : ReportFit::CutOff;
}

inline StatusReport ReportAt(const std::uint8_t* p) {
  StatusReport report{p[2], 0};
  if (report.code == kReportReady) report.value = p[3];
  if (report.code >= 2 && report.code <= 5) report.value = p[3] * 256u + p[4];
  return report;
}

}  // namespace detail

// Calls onReport for every status report whose bytes all lie within bytes[0, count), in the
// order of their positions. Every position is tried, also inside a report just matched: the
// programmer's reports never overlap, and a data reply that happens to carry ESC 'S' n counts
// as a report.
template <typename OnReport>
void ForEachStatusReport(const std::uint8_t* bytes, std::size_t count, OnReport&& onReport) {
  for (std::size_t i = 0; i < count; ++i) {
    if (detail::FitOfReport(bytes + i, count - i) == detail::ReportFit::Whole) {
      onReport(detail::ReportAt(bytes + i));
    }
  }
}

// The same for a stream of reads: a report that the end of a read cuts off (a pause of the
// programmer split it) is kept in carry and reported, first, once the next read has brought
// its missing bytes. Bytes of earlier reads are never taken otherwise.
template <typename OnReport>
void ForEachStatusReport(ReportCarry& carry, const std::uint8_t* bytes, std::size_t count,
                         OnReport&& onReport) {
  constexpr std::size_t kCarryBytes = std::tuple_size_v<decltype(ReportCarry::bytes)>;
  static_assert(kCarryBytes + 1 == StatusReportLength(kReportCodeWritten));
  ReportCarry next;
  auto keep = [&next](const std::uint8_t* start, std::size_t n) {
    if (next.count > 0) return;  // the earliest cut-off start is kept; it holds the later ones
    std::copy(start, start + n, next.bytes.begin());
    next.count = n;
  };
  auto scan = [&](const std::uint8_t* p, std::size_t n, std::size_t starts) {
    for (std::size_t i = 0; i < starts; ++i) {
      const detail::ReportFit fit = detail::FitOfReport(p + i, n - i);
      if (fit == detail::ReportFit::Whole) onReport(detail::ReportAt(p + i));
      if (fit == detail::ReportFit::CutOff) keep(p + i, n - i);
    }
  };
  if (carry.count > 0) {
    // Starts after the carried bytes lie wholly in this read and are found below.
    std::array<std::uint8_t, 2 * kCarryBytes> joined{};
    std::copy(carry.bytes.begin(), carry.bytes.begin() + carry.count, joined.begin());
    const std::size_t added = std::min(count, kCarryBytes);
    std::copy(bytes, bytes + added, joined.begin() + carry.count);
    scan(joined.data(), carry.count + added, carry.count);
  }
  scan(bytes, count, count);
  carry = next;
}

// Logs the status reports of one read, with carry across reads as above. now stamps codes 0,
// 6 and 7.
void LogStatusReports(WindowOps& window, ReportCarry& carry, const std::uint8_t* bytes,
                      std::size_t count, std::time_t now);

// How much of a read status reports take: the whole length of every report that starts in
// bytes[0, count) (also one whose values are still to come), and whether the read ends in
// ESC or ESC 'S', which may yet become a report.
struct StatusReportSpan {
  std::size_t bytes = 0;
  bool openAtEnd = false;
};
StatusReportSpan SpanOfStatusReports(const std::uint8_t* bytes, std::size_t count);

// Logs the information note the read begins with, if any: "<<NOTE>> FACTORY SETTING" for
// 1F 2D 53, "<<NOTE>> " and the received text from index 2 on for 1F 2D 46, its control
// characters shown as \xHH. True when the read was a note.
bool LogInformationReply(WindowOps& window, const std::uint8_t* bytes, std::size_t count);
// The next read of a note longer than one read: "<<NOTE>> (continued) " and its text, shown
// as the note's.
void LogNoteContinued(WindowOps& window, const std::uint8_t* bytes, std::size_t count);

}  // namespace kv218

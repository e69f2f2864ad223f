#pragma once
// What the programmer sends on its own: the status reports of its stand-alone runs
// (ESC 'S' code [values]) and the notes that answer QueryInfo. Both only log.

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "ground/window_ops.h"

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

// Calls onReport for every status report whose bytes all lie within bytes[0, count), in the
// order of their positions. Every position is tried, also inside a report just matched: the
// programmer's reports never overlap, and a data reply that happens to carry ESC 'S' n counts
// as a report.
template <typename OnReport>
void ForEachStatusReport(const std::uint8_t* bytes, std::size_t count, OnReport&& onReport) {
  for (std::size_t i = 0; i + 3 <= count; ++i) {
    if (bytes[i] != 0x1B || bytes[i + 1] != 0x53 || bytes[i + 2] > kReportSucceeded) continue;
    const std::uint8_t code = bytes[i + 2];
    if (i + StatusReportLength(code) > count) continue;  // cut off: its values never came
    StatusReport report{code, 0};
    if (code == kReportReady) report.value = bytes[i + 3];
    if (code >= 2 && code <= 5) report.value = bytes[i + 3] * 256u + bytes[i + 4];
    onReport(report);
  }
}

// Logs every status report whose bytes all lie within bytes[0, count), in the order of their
// positions. A report cut off by the end of the read is not logged. now stamps codes 0, 6, 7.
void LogStatusReports(WindowOps& window, const std::uint8_t* bytes, std::size_t count,
                      std::time_t now);

// How much of a read status reports take: the whole length of every report that starts in
// bytes[0, count) (also one whose values are still to come), and whether the read ends in
// ESC or ESC 'S', which may yet become a report.
struct StatusReportSpan {
  std::size_t bytes = 0;
  bool openAtEnd = false;
};
StatusReportSpan SpanOfStatusReports(const std::uint8_t* bytes, std::size_t count);

// Logs the information note the read begins with, if any: "<<NOTE>> FACTORY SETTING" for
// 1F 2D 53, "<<NOTE>> " and the received text from index 2 on for 1F 2D 46. True when the
// read was a note.
bool LogInformationReply(WindowOps& window, const std::uint8_t* bytes, std::size_t count);

}  // namespace kv218

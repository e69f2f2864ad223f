#pragma once
// What the programmer sends on its own: the status reports of its stand-alone runs
// (ESC 'S' code [values]) and the notes that answer QueryInfo. Both only log.

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "ground/window_ops.h"

namespace kv218 {

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

#pragma once
// What the record of runs needs from the platform, one implementation file per platform.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kv218 {

// Appends line (which ends with its line feed) to the file at path, creating it when missing,
// with a single write to a file opened for appending, then flushes it to disk. Writers in
// other threads and processes appending to the same file never split it. Never blocks on a
// file that has no reader (a FIFO): the open fails instead. On failure returns what went
// wrong ("cannot open ...", "cannot write ...", "only N of M bytes written ..."); a short
// write can leave the part that was written.
std::optional<std::string> AppendWholeLine(const std::string& path, std::string_view line);

// This machine's host name; empty when the system does not tell.
std::string HostName();

// The local broken-down time of when, with the offset of local time from UTC in seconds
// (east positive).
struct LocalTime {
  std::tm fields{};
  long utcOffsetSeconds = 0;
};
LocalTime LocalTimeOf(std::time_t when);

}  // namespace kv218

#pragma once
// One line of the record file: the facts of one run on one port, for traceability. A run the
// host drove (program, store, verify, read) and a stand-alone run the programmer reported share the
// line's opening and closing fields; each kind adds its own in between.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/read_back_difference.h"

namespace kv218 {

using WallTime = std::chrono::system_clock::time_point;
// The time durations are measured on: it never steps when the wall clock is set.
using SteadyTime = std::chrono::steady_clock::time_point;

struct RunRecord {
  enum class Kind { Program, Store, VerifyTarget, VerifyFlash, ReadTarget, ReadFlash, Standalone };

  Kind kind = Kind::Program;
  std::optional<WallTime> start;  // a stand-alone run whose opening report was missed has none
  WallTime end;
  std::string port;
  std::string result;  // "succeeded", "failed", "time-out", "interrupted"; stand-alone
                       // also "unfinished": opened and never closed
  // How long the run took on the steady clock; without it, end - start.
  std::optional<std::chrono::milliseconds> elapsed;

  // Program, store, verify and read.
  std::optional<std::string> hexFile;
  std::optional<std::string> hexSha256;
  std::optional<std::int64_t> targetType;
  std::optional<std::string> imageChecksum;       // as the status bar shows it
  std::optional<std::string> configChecksum;      // type 0, as the load line shows it
  std::optional<std::string> deviceIdentity;      // the values on the identity step line
  std::optional<std::int64_t> eraseCounter;       // store: the count the programmer reported
  std::optional<std::string> failedStep;          // the step line's title ("3. Programming ...")
  std::optional<std::string> failedLine;          // the line that tells the failure, as logged
  std::optional<ByteDifference> firstDifference;  // where a failed read-back differed first

  // Stand-alone: the values its reports carried, in hexadecimal as the log shows them.
  std::optional<std::string> deviceReady;
  std::optional<std::string> codeProgrammed;
  std::optional<std::string> codeVerified;
  std::optional<std::string> configProgrammed;
  std::optional<std::string> configVerified;

  std::string host;
  std::string version;

  // Program, store and verify: a file the run found suspect and ran all the same (the
  // operator's "Program anyway", the command line's --lenient), with the reasons.
  std::optional<std::vector<std::string>> forced;
};

// The record as one JSON object on one line, line feed included.
std::string RecordLine(const RunRecord& record);

// ISO 8601 local time with milliseconds and the offset from UTC: "2026-12-10T14:05:09.123+01:00".
std::string IsoTimeText(WallTime when);

// This tool's version, as the build sets it.
std::string_view ToolVersion();

}  // namespace kv218

#pragma once
// The lines a program, store, verify or read run writes in the log, each defined once, and RunLog,
// which writes a run's steps, results and closing lines and tells the station's RunEvents of each,
// so the record follows the run without reading the log.
// The texts are the operators' as they have always read them, misspellings included
// ("Aoto", "Writting", "Configuation", "Vreify", "llimit"); they are not to be corrected.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "ground/window_ops.h"
#include "image/read_back_difference.h"
#include "protocol/run_events.h"

namespace kv218 {

// Every step line is its title and this ending; the step's result completes it.
inline constexpr std::string_view kStepEnd = " ...";

// Programming the target.
inline constexpr std::string_view kReadDeviceIdStep = "1. Reading Device ID ...";
inline constexpr std::string_view kBulkEraseStep = "2. Bulk Erasing ...";
inline constexpr std::string_view kWriteProgramStep = "3. Programming Program Memory ...";
inline constexpr std::string_view kReadProgramStep = "4. Reading Program Memory ...";
inline constexpr std::string_view kVerifyProgramStep = "5. Verify Program Memory ...";
inline constexpr std::string_view kWriteConfigStep = "6. Programming Configuration Bits ...";
inline constexpr std::string_view kReadConfigStep = "7. Reading Configuration Bits ...";
inline constexpr std::string_view kVerifyConfigStep = "8. Verify Configuration Bits ...";
inline constexpr std::string_view kResetStep24 = "9. Resetting ...";  // type 0
inline constexpr std::string_view kResetStep16 = "6. Resetting ...";  // types 1 and 2
inline constexpr std::string_view kAutoProgramStep = "1. Aoto Programming Main Memory ...";

// Storing the image in the programmer's flash.
inline constexpr std::string_view kFlashEraseStep = "1. Bulk Erasing Flash Memory ...";
inline constexpr std::string_view kFlashWriteStep = "2. Flash Memory Writting ...";
inline constexpr std::string_view kFlashVerifyStep = "3. Verify Flash Memory ...";
inline constexpr std::string_view kFlashWriteConfigStep =
    "4. Flash Memory Configuation Bits Writting ...";
inline constexpr std::string_view kFlashVerifyConfigStep =
    "5. Vreify Flash Memory Configuation Bits ...";

// Verifying and reading, which write nothing: the target's and the programmer's flash's.
inline constexpr std::string_view kVerifyReadProgramStep = "2. Reading Program Memory ...";
inline constexpr std::string_view kVerifyProgramOnlyStep = "3. Verify Program Memory ...";
inline constexpr std::string_view kVerifyReadConfigStep = "4. Reading Configuration Bits ...";
inline constexpr std::string_view kVerifyConfigOnlyStep = "5. Verify Configuration Bits ...";
inline constexpr std::string_view kReadReadConfigStep = "3. Reading Configuration Bits ...";
inline constexpr std::string_view kReadFlashStep = "1. Reading Flash Memory ...";
inline constexpr std::string_view kVerifyFlashStep = "2. Verify Flash Memory ...";
inline constexpr std::string_view kVerifyReadFlashConfigStep =
    "3. Reading Flash Memory Configuration Bits ...";
inline constexpr std::string_view kVerifyFlashConfigStep =
    "4. Verify Flash Memory Configuration Bits ...";
inline constexpr std::string_view kReadFlashConfigStep =
    "2. Reading Flash Memory Configuration Bits ...";
inline constexpr std::string_view kVerifyTargetHead = "VERIFYING TARGET ... (";
inline constexpr std::string_view kVerifyFlashHead = "VERIFYING KV-218 ... (";
inline constexpr std::string_view kReadTargetHead = "READING TARGET ... (";
inline constexpr std::string_view kReadFlashHead = "READING KV-218 ... (";
inline constexpr std::string_view kVerifyVerdict = "VERIFY";
inline constexpr std::string_view kReadVerdict = "READ";

// The run's own lines. A head is followed by the time stamp and ")" (TimedLine).
inline constexpr std::string_view kProgramTargetHead = "PROGRAMMING TARGET ... (";
inline constexpr std::string_view kProgramFlashHead = "PROGRAMMING FLASH MEMORY ... (";
inline constexpr std::string_view kSucceededHead = "PROGRAMMING SUCCEEDED. (";
inline constexpr std::string_view kFailedHead = "PROGRAMMING FAILED. (";
inline constexpr std::string_view kTimeOutLine = "TimeOut !! No response with target !!";
inline constexpr std::string_view kEnduranceLine = "FLASH MEMORY cycling endurance reach llimit !!";
inline constexpr std::string_view kRepairLine = "Please contact with Velkor to repair it !!";
inline constexpr std::string_view kNoFileWarning = "<<WARNING>> Please load file first !!";
// Followed by the count the programmer reported.
inline constexpr std::string_view kEraseCounterNote =
    "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): ";

// "3. Programming Program Memory" of the step line "3. Programming Program Memory ...".
constexpr std::string_view StepTitle(std::string_view stepLine) {
  return stepLine.ends_with(kStepEnd) ? stepLine.substr(0, stepLine.size() - kStepEnd.size())
                                      : stepLine;
}

// head, the time stamp of now, ")".
std::string TimedLine(std::string_view head, std::time_t now);
inline std::string TimedLine(std::string_view head) { return TimedLine(head, std::time(nullptr)); }

// The closing lines' first word of the runs that write; the sessions that only read close
// with "VERIFY" or "READ" ("VERIFY SUCCEEDED. (...)").
inline constexpr std::string_view kProgrammingVerdict = "PROGRAMMING";

// Writes the run's lines that the record follows, to the window and as events.
class RunLog {
 public:
  RunLog(WindowOps& window, RunEvents& events, std::string_view verdict = kProgrammingVerdict)
      : window_(window), events_(events), verdict_(verdict) {}

  // A step's line.
  void Step(std::string_view line);
  // Text that completes the last line, the step's: " OK", " NG", the values compared.
  void Result(std::string_view text);
  // The identity values read, completing the step's line as " ( <values> )".
  void Identity(std::string_view values);
  // An empty line, then the note with the erase counter the programmer reported.
  void EraseCounter(std::uint32_t count);
  // The line aside after a read-back's NG line: where it differed from the file first.
  void Difference(const ByteDifference& difference);
  // The time-out line, then the failed closing line.
  void TimedOut();
  // An empty line, the endurance line and the repair line.
  void EnduranceReached();
  // The closing line, stamped with now.
  void Ended(bool succeeded, std::time_t now);
  void Ended(bool succeeded) { Ended(succeeded, std::time(nullptr)); }

 private:
  WindowOps& window_;
  RunEvents& events_;
  std::string_view verdict_;
};

}  // namespace kv218

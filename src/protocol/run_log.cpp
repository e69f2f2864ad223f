#include "protocol/run_log.h"

#include "ground/text.h"

namespace kv218 {

std::string TimedLine(std::string_view head, std::time_t now) {
  return std::string(head) + TimeStampText(now) + ")";
}

void RunLog::Step(std::string_view line) {
  window_.AppendLog(line);
  events_.StepStarted(line);
}

void RunLog::Result(std::string_view text) {
  window_.AppendToLastLine(text);
  events_.StepResult(text);
}

void RunLog::Identity(std::string_view values) {
  const std::string text = " ( " + std::string(values) + " )";
  window_.AppendToLastLine(text);
  events_.StepResult(text);
  events_.IdentityRead(values);
}

void RunLog::EraseCounter(std::uint32_t count) {
  window_.AppendLog("");
  window_.AppendLog(std::string(kEraseCounterNote) + std::to_string(count));
  events_.EraseCounterRead(count);
}

void RunLog::Difference(const ByteDifference& d) {
  window_.AppendAside(DifferenceText(d));
  events_.ReadBackDiffered(d.address, d.file, d.read, d.count);
}

void RunLog::TimedOut() {
  window_.AppendLog(kTimeOutLine);
  events_.RunStopped(kTimeOutLine);
  Ended(false);
}

void RunLog::EnduranceReached() {
  window_.AppendLog("");
  window_.AppendLog(kEnduranceLine);
  window_.AppendLog(kRepairLine);
  events_.RunStopped(kEnduranceLine);
}

void RunLog::Ended(bool succeeded, std::time_t now) {
  const std::string head = std::string(verdict_) + (succeeded ? " SUCCEEDED. (" : " FAILED. (");
  // Told first: the run's record is on the disk before its verdict is shown.
  events_.RunEnded(succeeded);
  window_.AppendLog(TimedLine(head, now));
}

}  // namespace kv218

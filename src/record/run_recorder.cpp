#include "record/run_recorder.h"

#include <filesystem>

#include "ground/text.h"
#include "ground/utf8_path.h"
#include "protocol/run_log.h"

namespace kv218 {

std::string_view ResultName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Succeeded:
      return "succeeded";
    case RunOutcome::TimedOut:
      return "time-out";
    case RunOutcome::Interrupted:
      return "interrupted";
    case RunOutcome::Failed:
    case RunOutcome::NoFile:
    case RunOutcome::NoPort:
    case RunOutcome::NoType:
    case RunOutcome::LoadFailed:
    case RunOutcome::Refused:
    case RunOutcome::Busy:
      break;
  }
  return "failed";
}

void RunRecorder::Begin(Opening opening, WallTime now, SteadyTime steadyNow) {
  record_ = RunRecord{};
  record_.kind = opening.kind;
  record_.start = now;
  steadyStart_ = steadyNow;
  timedOut_ = false;
  failedAfterSteps_.reset();
  record_.port = std::move(opening.port);
  // Absolute, so that the line still names the file wherever it is read.
  std::error_code error;
  const auto absolute = std::filesystem::absolute(PathFromUtf8(opening.hexFile), error);
  // A read starts from no file.
  if (!opening.hexFile.empty()) record_.hexFile = error ? opening.hexFile : Utf8FromPath(absolute);
  record_.targetType = opening.targetType;
  inRun_ = true;
  stepIsLastLine_ = false;
  steps_.clear();
  notice_.reset();
}

void RunRecorder::FileRead(std::optional<std::string> sha256) {
  if (inRun_) record_.hexSha256 = std::move(sha256);
}

void RunRecorder::ImageLoaded(std::string_view checksum) {
  if (inRun_) record_.imageChecksum = std::string(checksum);
}

void RunRecorder::LoadFailed(std::string_view message) {
  if (inRun_ && !notice_) notice_ = std::string(message);
}

void RunRecorder::Forced(std::vector<std::string> reasons) {
  if (inRun_) record_.forced = std::move(reasons);
}

void RunRecorder::StepStarted(std::string_view line) {
  if (!inRun_) return;
  steps_.push_back(Step{std::string(StepTitle(line)), std::string(line)});
  stepIsLastLine_ = true;
}

void RunRecorder::StepResult(std::string_view text) {
  if (inRun_ && stepIsLastLine_) steps_.back().line.append(text);
}

void RunRecorder::IdentityRead(std::string_view values) {
  // The values count when they complete the identity step's own line.
  if (inRun_ && stepIsLastLine_ && steps_.back().title == StepTitle(kReadDeviceIdStep) &&
      !record_.deviceIdentity) {
    record_.deviceIdentity = std::string(values);
  }
}

void RunRecorder::EraseCounterRead(std::uint32_t count) {
  stepIsLastLine_ = false;
  if (inRun_) record_.eraseCounter = count;
}

void RunRecorder::ReadBackDiffered(std::int64_t address, std::uint8_t file, std::uint8_t read,
                                   std::int64_t count) {
  if (!inRun_) return;
  // The first read-back that differed: a run ends at its first NG.
  if (!record_.firstDifference)
    record_.firstDifference = ByteDifference{address, file, read, count};
}

void RunRecorder::RunStopped(std::string_view line) {
  stepIsLastLine_ = false;
  if (inRun_ && line == kTimeOutLine) timedOut_ = true;
  if (inRun_ && !notice_) notice_ = std::string(line);
}

void RunRecorder::RunEnded(bool succeeded) {
  stepIsLastLine_ = false;
  if (inRun_ && onEnded_) onEnded_(succeeded);
}

void RunRecorder::FailedAfterSteps(std::string line) {
  if (inRun_) failedAfterSteps_ = std::move(line);
}

RunRecord RunRecorder::End(RunOutcome outcome, const Station& station, WallTime now,
                           SteadyTime steadyNow) {
  inRun_ = false;
  RunRecord record = std::move(record_);
  record_ = RunRecord{};
  record.end = now;
  record.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(steadyNow - steadyStart_);
  record.result = std::string(ResultName(outcome));
  // The configuration checksum is shown (on the load line) for type 0 only, once the image
  // was read: the same moment the status bar got its checksum.
  if (record.targetType == 0 && record.imageChecksum) {
    record.configChecksum = Hex(station.image.ConfigChecksum, 4);
  }
  if (outcome != RunOutcome::Succeeded) {
    if (failedAfterSteps_) {
      record.failedLine = std::move(failedAfterSteps_);
    } else if (!steps_.empty()) {
      record.failedStep = steps_.back().title;
      record.failedLine = steps_.back().line;
    } else {
      record.failedLine = notice_;
    }
  }
  return record;
}

}  // namespace kv218

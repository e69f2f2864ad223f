#include "record/run_recorder.h"

#include <cctype>
#include <charconv>
#include <filesystem>

#include "ground/text.h"
#include "ground/utf8_path.h"
#include "image/load_texts.h"
#include "record/sha256.h"

namespace kv218 {
namespace {

constexpr std::string_view kStepEnd = " ...";
constexpr std::string_view kIdentityStep = "1. Reading Device ID ...";
// The programmer's count as it reported it (the station's copy goes up by one when stored).
constexpr std::string_view kCounterNote =
    "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): ";
// Lines that tell why a run stopped before any step line could.
constexpr std::string_view kNoticeLines[] = {"TimeOut !! No response with target !!",
                                             "FLASH MEMORY cycling endurance reach llimit !!"};

// "<number>. <title> ...": the numbered lines the sequences complete with " OK" or an NG
// text. The stand-alone reports' numbered lines end with " )" instead.
bool IsStepLine(std::string_view line) {
  std::size_t digits = 0;
  while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) ++digits;
  return digits > 0 && line.substr(digits).starts_with(". ") && line.ends_with(kStepEnd) &&
         line.size() > digits + 2 + kStepEnd.size();
}

// "3. Programming Program Memory" from "3. Programming Program Memory ... NG ...".
std::string StepTitle(std::string_view line) {
  return std::string(line.substr(0, line.find(kStepEnd)));
}

// The values in " ( ... )" after the identity step's result: "0xBF , 0x2118".
std::optional<std::string> IdentityValues(std::string_view line) {
  const auto open = line.find(" ( ", kIdentityStep.size());
  const auto close = line.rfind(" )");
  if (open == std::string_view::npos || close == std::string_view::npos || close < open + 3) {
    return std::nullopt;
  }
  return std::string(line.substr(open + 3, close - open - 3));
}

}  // namespace

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
    case RunOutcome::LoadFailed:
    case RunOutcome::Busy:
      break;
  }
  return "failed";
}

void RunRecorder::Begin(Opening opening, WallTime now) {
  record_ = RunRecord{};
  record_.kind = opening.kind;
  record_.start = now;
  record_.port = std::move(opening.port);
  record_.hexSha256 = Sha256OfFile(opening.hexFile);
  // Absolute, so that the line still names the file wherever it is read.
  std::error_code error;
  const auto absolute = std::filesystem::absolute(PathFromUtf8(opening.hexFile), error);
  // A read starts from no file.
  if (!opening.hexFile.empty()) record_.hexFile = error ? opening.hexFile : Utf8FromPath(absolute);
  record_.targetType = opening.targetType;
  inRun_ = true;
  pastLoading_ = false;
  lastLineIsStep_ = false;
  steps_.clear();
  notice_.reset();
}

void RunRecorder::OnAppendLog(std::string_view line) {
  lastLineIsStep_ = false;
  if (!inRun_) return;
  if (!pastLoading_) {
    // The HEX file's path comes before this line and is never taken for a step.
    pastLoading_ = line == kLoadingLine;
    return;
  }
  if (line.starts_with(kCounterNote)) {
    std::int64_t count = 0;
    const std::string_view digits = line.substr(kCounterNote.size());
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (parsed.ec == std::errc() && parsed.ptr == digits.data() + digits.size()) {
      record_.eraseCounter = count;
    }
    return;
  }
  if (IsStepLine(line)) {
    steps_.emplace_back(line);
    lastLineIsStep_ = true;
    return;
  }
  for (const std::string_view notice : kNoticeLines) {
    if (line == notice && !notice_) notice_ = std::string(line);
  }
}

void RunRecorder::OnAppendToLastLine(std::string_view text) {
  if (inRun_ && lastLineIsStep_) steps_.back().append(text);
}

void RunRecorder::OnPanelText(int panel, std::string_view text) {
  if (inRun_ && panel == kChecksumPanel) record_.imageChecksum = std::string(text);
}

void RunRecorder::OnShowError(std::string_view message) {
  if (inRun_ && !notice_) notice_ = std::string(message);
}

RunRecord RunRecorder::End(RunOutcome outcome, const Station& station, WallTime now) {
  inRun_ = false;
  RunRecord record = std::move(record_);
  record_ = RunRecord{};
  record.end = now;
  record.result = std::string(ResultName(outcome));
  // The configuration checksum is shown (on the load line) for type 0 only, once the image
  // was read: the same moment the status bar got its checksum.
  if (record.targetType == 0 && record.imageChecksum) {
    record.configChecksum = Hex(station.image.ConfigChecksum, 4);
  }
  record.firstDifference = station.firstDifference;
  for (const std::string& step : steps_) {
    if (step.starts_with(kIdentityStep)) record.deviceIdentity = IdentityValues(step);
  }
  if (outcome != RunOutcome::Succeeded) {
    if (!steps_.empty()) {
      record.failedStep = StepTitle(steps_.back());
      record.failedLine = steps_.back();
    } else {
      record.failedLine = notice_;
    }
  }
  return record;
}

}  // namespace kv218

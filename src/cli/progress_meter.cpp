#include "cli/progress_meter.h"

#include <cstdio>

#include "ground/window_ops.h"

namespace kv218 {

namespace {

constexpr int kBarWidth = 20;
constexpr std::string_view kStepEnd = " ...";
// Rates and estimates over less than this say more about chance than about the line.
constexpr std::chrono::milliseconds kShortestMeasure{1000};

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// "m:ss", or "h:mm:ss" from an hour on, followed by tail.
std::string_view FormatDuration(char (&buffer)[32], double seconds, const char* tail = "") {
  const long total = seconds < 0 ? 0 : static_cast<long>(seconds);
  const int length = total >= 3600 ? std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld%s",
                                                   total / 3600, total / 60 % 60, total % 60, tail)
                                   : std::snprintf(buffer, sizeof buffer, "%ld:%02ld%s", total / 60,
                                                   total % 60, tail);
  return std::string_view(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void AppendRightAligned(std::string& text, std::string_view field, std::size_t width) {
  if (field.size() < width) text.append(width - field.size(), ' ');
  text.append(field);
}

}  // namespace

void ProgressMeter::Rebase(TimePoint now, std::uint64_t bytes) {
  baseTime_ = now;
  basePercent_ = percent_;
  baseBytes_ = bytes;
}

void ProgressMeter::LineStarted(std::string_view line, TimePoint now, std::uint64_t bytes) {
  stoppedAt_.reset();
  lastLine_.assign(line);
  if (line.size() > kStepEnd.size() && line.ends_with(kStepEnd)) {
    step_.assign(line.substr(0, line.size() - kStepEnd.size()));
    Rebase(now, bytes);
  }
}

void ProgressMeter::SetPercent(int percent, TimePoint now, std::uint64_t bytes) {
  stoppedAt_.reset();
  percent = ClampPercent(percent);
  const bool fell = percent < percent_;
  percent_ = percent;
  if (fell) Rebase(now, bytes);
}

void ProgressMeter::Stop(TimePoint now) {
  if (!stoppedAt_) stoppedAt_ = now;
}

void ProgressMeter::Format(std::string_view prefix, TimePoint now, std::uint64_t bytes,
                           std::size_t width, std::string& text) const {
  const TimePoint end = stoppedAt_ ? *stoppedAt_ : now;
  text.clear();
  text.append(prefix);
  text.push_back('[');
  const int filled = percent_ * kBarWidth / 100;
  text.append(static_cast<std::size_t>(filled), '#');
  text.append(static_cast<std::size_t>(kBarWidth - filled), ' ');
  char field[32];
  std::snprintf(field, sizeof field, "] %3d%%  ", percent_);
  text.append(field);

  AppendRightAligned(text, FormatDuration(field, Seconds(end - start_)), 5);

  // Rate and estimate belong to a step under way.
  const double measured = Seconds(end - baseTime_);
  const bool measurable = !stoppedAt_ && end - baseTime_ >= kShortestMeasure;
  std::string_view rate;
  if (measurable && bytes > baseBytes_) {
    const int length = std::snprintf(field, sizeof field, "%.1f kB/s",
                                     static_cast<double>(bytes - baseBytes_) / measured / 1000.0);
    rate = std::string_view(field, length > 0 ? static_cast<std::size_t>(length) : 0);
  }
  text.append("  ");
  AppendRightAligned(text, rate, 11);

  std::string_view estimate;
  if (measurable && percent_ > basePercent_ && percent_ < 100) {
    estimate =
        FormatDuration(field, measured * (100 - percent_) / (percent_ - basePercent_), " left");
  }
  text.append("  ");
  AppendRightAligned(text, estimate, 10);

  const std::string_view shown = stoppedAt_ ? std::string_view(lastLine_) : std::string_view(step_);
  text.append("  ");
  text.append(shown);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() > width) text.resize(width);
}

}  // namespace kv218

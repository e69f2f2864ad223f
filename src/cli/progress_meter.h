#pragma once
// What one progress row on the terminal tells about a port's run: the gauge, the time since
// the run began, the rate at which bytes cross the line in the current step, an estimate of
// the step's time left, and the step itself (the last log line ending in " ..."). Pure: every
// call is given the time and the line's byte count, so a test can drive it with a fake clock.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv218 {

class ProgressMeter {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit ProgressMeter(TimePoint start) : start_(start), baseTime_(start) {}

  // A log line was started. One ending in " ..." names a new step: the rate and the estimate
  // are measured afresh from here. Any line wakes a stopped meter.
  void LineStarted(std::string_view line, TimePoint now, std::uint64_t bytes);
  // The gauge moved. A gauge that falls starts a new measurement (a new transfer).
  void SetPercent(int percent, TimePoint now, std::uint64_t bytes);
  // The run is over: the elapsed time stops and the row shows the last line.
  void Stop(TimePoint now);
  bool Stopped() const { return stoppedAt_.has_value(); }
  int Percent() const { return percent_; }

  // The row as shown, prefix first, cut to width characters:
  // "[####      ]  40%   0:07   10.4 kB/s   0:10 left  3. Programming Program Memory".
  // Fields that cannot be told yet are blank. Writes into text, reusing its storage.
  void Format(std::string_view prefix, TimePoint now, std::uint64_t bytes, std::size_t width,
              std::string& text) const;

 private:
  void Rebase(TimePoint now, std::uint64_t bytes);

  TimePoint start_;
  std::optional<TimePoint> stoppedAt_;
  std::string step_;      // the current step's line without its " ..."
  std::string lastLine_;  // shown once the run is over
  int percent_ = 0;
  // Where the current measurement began: the step's start, or the gauge's last fall.
  TimePoint baseTime_;
  int basePercent_ = 0;
  std::uint64_t baseBytes_ = 0;
};

}  // namespace kv218

#include "cli/console_output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace kv218 {

namespace {

// Back to the start of the first of rows drawn rows (the cursor is on the last).
void AppendToFirstRow(std::string& frame, std::size_t rows) {
  frame.push_back('\r');
  if (rows <= 1) return;
  char up[24];
  std::snprintf(up, sizeof up, "\x1b[%zuA", rows - 1);
  frame.append(up);
}

}  // namespace

std::string OutputLossText(const OutputLoss& loss) {
  std::string text = "standard output failed";
  if (loss.error != 0) text += std::string(" (") + std::strerror(loss.error) + ")";
  return text + ": the last " + std::to_string(loss.lost) + " of the log's " +
         std::to_string(loss.lines) + " lines were not written";
}

struct ConsoleOutput::Row {
  Row(std::string prefix_, const LineCounters* counters_, ProgressMeter::TimePoint start)
      : prefix(std::move(prefix_)), counters(counters_), meter(start) {}
  std::uint64_t Bytes() const { return counters != nullptr ? counters->Total() : 0; }

  std::string prefix;
  const LineCounters* counters;
  ProgressMeter meter;
  bool shown = false;  // the gauge has moved: the row is drawn
  std::string drawn;   // the text drawn last
  std::string text;    // the text to draw next
  // Plain rows: the gauge's tenth written last (-1: none yet), and whether a step has begun
  // since.
  int plainTenth = -1;
  bool plainStep = false;
};

ConsoleOutput::ConsoleOutput(std::ostream& out, std::ostream& err, Options options)
    : out_(out), err_(err), options_(std::move(options)) {
  if (!options_.clock) options_.clock = [] { return std::chrono::steady_clock::now(); };
}

ConsoleOutput::~ConsoleOutput() {
  if (refresher_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stopRefresh_.notify_all();
    refresher_.join();
  }
  std::lock_guard lock(mutex_);
  EraseRows();
}

int ConsoleOutput::AddRow(std::string prefix, const LineCounters* counters) {
  std::lock_guard lock(mutex_);
  rows_.push_back(std::make_unique<Row>(std::move(prefix), counters, options_.clock()));
  return static_cast<int>(rows_.size()) - 1;
}

void ConsoleOutput::SetCounters(int row, const LineCounters* counters) {
  std::lock_guard lock(mutex_);
  rows_.at(static_cast<std::size_t>(row))->counters = counters;
}

void ConsoleOutput::WriteLine(int row, std::string_view line) {
  if (!options_.showLog) return;
  std::lock_guard lock(mutex_);
  // Out and err may share a terminal: the line must not land inside the rows.
  const bool redraw = drawnRows_ > 0;
  EraseRows();
  WriteOut(rows_.at(static_cast<std::size_t>(row))->prefix, line, true);
  if (redraw) DrawRows(true);
}

void ConsoleOutput::WriteError(int row, std::string_view message) {
  std::lock_guard lock(mutex_);
  EraseRows();
  out_.flush();
  err_ << rows_.at(static_cast<std::size_t>(row))->prefix << message << '\n';
  err_.flush();
}

void ConsoleOutput::WriteText(std::string_view text) {
  std::lock_guard lock(mutex_);
  EraseRows();
  WriteOut({}, text, false);
}

OutputLoss ConsoleOutput::Loss() const {
  std::lock_guard lock(mutex_);
  return loss_;
}

void ConsoleOutput::WriteOut(std::string_view prefix, std::string_view text, bool line) {
  const std::size_t lines =
      line ? 1 : static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  loss_.lines += lines;
  // After a failure nothing more goes out: what the stream still buffers would come out
  // torn, if at all.
  if (loss_.failed) {
    loss_.lost += lines;
    return;
  }
  errno = 0;
  out_ << prefix << text;
  if (line) out_ << '\n';
  out_.flush();
  if (!out_) {
    loss_.failed = true;
    loss_.error = errno;
    loss_.lost = lines;
  }
}

void ConsoleOutput::LineStarted(int row, std::string_view line) {
  if (!options_.progress) return;
  std::lock_guard lock(mutex_);
  Row& r = *rows_.at(static_cast<std::size_t>(row));
  r.meter.LineStarted(line, options_.clock(), r.Bytes());
  if (!options_.sequences) {
    r.plainStep = r.plainStep || line.ends_with(" ...");
    return;  // written with the gauge's next move, which shows the step's start
  }
  if (r.shown) DrawRows(false);
}

void ConsoleOutput::SetPercent(int row, int percent) {
  if (!options_.progress) return;
  std::lock_guard lock(mutex_);
  Row& r = *rows_.at(static_cast<std::size_t>(row));
  r.meter.SetPercent(percent, options_.clock(), r.Bytes());
  r.shown = true;
  if (!options_.sequences) {
    WritePlainRow(r);
    return;
  }
  DrawRows(false);
}

void ConsoleOutput::WritePlainRow(Row& row) {
  const int tenth = std::clamp(row.meter.Percent(), 0, 100) / 10;
  if (tenth == row.plainTenth && !row.plainStep) return;
  row.plainTenth = tenth;
  row.plainStep = false;
  const std::size_t width = options_.columns > 1 ? options_.columns - 1 : 1;
  row.meter.Format(row.prefix, options_.clock(), row.Bytes(), width, row.text);
  out_.flush();
  err_ << row.text << '\n';
  err_.flush();
}

void ConsoleOutput::EndRow(int row) {
  if (!options_.progress || !options_.sequences) return;  // plain rows stay as written
  std::lock_guard lock(mutex_);
  rows_.at(static_cast<std::size_t>(row))->meter.Stop(options_.clock());
  bool anyRunning = false;
  for (const auto& r : rows_) anyRunning = anyRunning || (r->shown && !r->meter.Stopped());
  if (anyRunning) {
    DrawRows(false);
  } else {
    EraseRows();
  }
}

void ConsoleOutput::Refresh() {
  if (!options_.sequences) return;  // plain rows show only steps and tenths, not times
  std::lock_guard lock(mutex_);
  if (drawnRows_ > 0) DrawRows(false);
}

void ConsoleOutput::RefreshLoop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    stopRefresh_.wait_for(lock, options_.refreshEvery);
    if (!stopping_ && drawnRows_ > 0) DrawRows(false);
  }
}

void ConsoleOutput::EraseRows() {
  if (drawnRows_ == 0) return;
  frame_.clear();
  AppendToFirstRow(frame_, drawnRows_);
  frame_.append("\x1b[J");
  err_ << frame_;
  err_.flush();
  drawnRows_ = 0;
  for (auto& r : rows_) r->drawn.clear();
}

void ConsoleOutput::DrawRows(bool evenIfSame) {
  const auto now = options_.clock();
  const std::size_t width = options_.columns > 1 ? options_.columns - 1 : 1;
  std::size_t count = 0;
  bool changed = false;
  for (auto& r : rows_) {
    if (!r->shown) continue;
    ++count;
    r->meter.Format(r->prefix, now, r->Bytes(), width, r->text);
    changed = changed || r->text != r->drawn;
  }
  if (count == 0 || (!changed && count == drawnRows_ && !evenIfSame)) return;
  frame_.clear();
  AppendToFirstRow(frame_, drawnRows_);
  bool first = true;
  for (auto& r : rows_) {
    if (!r->shown) continue;
    if (!first) frame_.push_back('\n');
    first = false;
    frame_.append(r->text);
    frame_.append("\x1b[K");
    r->drawn = r->text;
  }
  if (count < drawnRows_) frame_.append("\x1b[J");
  err_ << frame_;
  err_.flush();
  drawnRows_ = count;
  // Started with the first rows rather than with the console: by then the command has set
  // up its threads' signal mask, which this thread inherits.
  if (!refresher_.joinable() && options_.refreshEvery.count() > 0) {
    refresher_ = std::thread([this] { RefreshLoop(); });
  }
}

}  // namespace kv218

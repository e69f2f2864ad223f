#pragma once
// The terminal that the console windows of one command share: log lines on the output
// stream, errors and progress rows on the error stream. One row per port; a row's log lines
// and errors carry its prefix ("[ttyUSB0] "; empty with a single port). Every call may come
// from any port's window thread: each writes whole lines under one lock, so the lines of
// several ports never mix within a line. The progress rows are drawn at the bottom of the
// error stream (only where that is a terminal), taken off before a line is written and drawn
// again after it, and redrawn only when what they show changes. A console that does not
// process terminal sequences gets plain rows instead: a row written as a line of its own when
// its step changes or its gauge passes another tenth, never redrawn.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/progress_meter.h"
#include "port/metered_port.h"

namespace kv218 {

// What the output stream lost: once a write to it failed (a closed pipe, a full disk, a
// terminal that hung up), no more is written to it.
struct OutputLoss {
  bool failed = false;
  std::size_t lines = 0;  // the lines meant for it
  std::size_t lost = 0;   // of those, the last ones, from the first that failed
  int error = 0;          // the system's error number of the failure, 0 when unknown
};

// "standard output failed (Broken pipe): the last 3 of the log's 12 lines were not written".
std::string OutputLossText(const OutputLoss& loss);

class ConsoleOutput {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  struct Options {
    bool showLog = true;    // print the log lines on out
    bool progress = false;  // draw the progress rows on err; only for a terminal
    bool sequences = true;  // the terminal processes cursor movement; false: plain rows
    std::size_t columns = 80;
    // With progress: how often the rows' times are brought up to date while nothing else
    // happens (an erase, a silent wait), by a thread started when the rows are first drawn.
    // Zero: only when a line or the gauge changes.
    std::chrono::milliseconds refreshEvery{0};
    Clock clock{};  // the steady clock unless given
  };

  ConsoleOutput(std::ostream& out, std::ostream& err, Options options);
  ~ConsoleOutput();
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;

  // Adds a row before the ports start; returns its number. counters, when given, gives the
  // row's transfer rate.
  int AddRow(std::string prefix, const LineCounters* counters = nullptr);
  void SetCounters(int row, const LineCounters* counters);

  // A complete log line of the row, on out.
  void WriteLine(int row, std::string_view line);
  // An error of the row, on err.
  void WriteError(int row, std::string_view message);
  // Text on out that belongs to no row (the closing summary), written as it is.
  void WriteText(std::string_view text);

  // What the progress rows follow: a log line started, the gauge.
  void LineStarted(int row, std::string_view line);
  void SetPercent(int row, int percent);
  // The row's run is over: its row stays, with its time stopped, while other rows run; when
  // every row is over the rows leave the terminal. A row that moves again comes back.
  void EndRow(int row);

  // Redraws the rows if their times have changed.
  void Refresh();

  // The lines written to out so far and what was lost of them.
  OutputLoss Loss() const;

 private:
  struct Row;

  // prefix and text on out, and a line feed when it is a line; with mutex_ held.
  void WriteOut(std::string_view prefix, std::string_view text, bool line);
  void EraseRows();                // with mutex_ held
  void DrawRows(bool evenIfSame);  // with mutex_ held
  void WritePlainRow(Row& row);    // with mutex_ held
  void RefreshLoop();

  std::ostream& out_;
  std::ostream& err_;
  Options options_;

  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Row>> rows_;
  OutputLoss loss_;
  std::size_t drawnRows_ = 0;  // rows on the terminal now
  std::string frame_;          // the rows' escape sequence, reused

  std::condition_variable stopRefresh_;
  bool stopping_ = false;
  std::thread refresher_;
};

}  // namespace kv218

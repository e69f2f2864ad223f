#pragma once
// The window operations on a terminal, for the command line. Standard output carries exactly
// the log pane's lines: a step line is printed once it is complete, that is when the next step
// line starts or at Finish, because AppendToLastLine may still extend it. A line the programmer
// volunteers (AppendAside) is printed at once, or, while a step line is held, queued behind
// it so the order stays the pane's. The gauge is a progress row on the error stream (only
// where that stream is a terminal); errors go there too. A window has a console of its own,
// or is one port's row on a console that several ports share (its lines then carry the row's
// prefix).

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console_output.h"
#include "ground/window_ops.h"

namespace kv218 {

class ConsoleWindow : public WindowOps {
 public:
  struct Options {
    bool showLog = true;       // print the log lines on out
    bool progressBar = false;  // draw the gauge on err; only for a terminal
    bool sequences = true;     // redrawn in place; false: plain rows (ConsoleOutput)
    std::size_t columns = 80;  // the terminal's width
  };

  // On a console of its own.
  ConsoleWindow(std::ostream& out, std::ostream& err, Options options);
  // Row row of a shared console.
  ConsoleWindow(ConsoleOutput& output, int row);
  ~ConsoleWindow() override;
  ConsoleWindow(const ConsoleWindow&) = delete;
  ConsoleWindow& operator=(const ConsoleWindow&) = delete;

  void AppendLog(std::string_view line) override;
  void AppendAside(std::string_view line) override;
  void AppendToLastLine(std::string_view text) override;
  void SetPanelText(int panel, std::string_view text) override;
  void SetProgress(int percent) override;
  void SetButtonsEnabled(bool enabled) override { buttonsEnabled_ = enabled; }
  std::optional<std::string> ChooseHexFile() override { return hexFileChoice_; }
  TargetType SelectedType() const override { return selectedType_; }
  void ShowError(std::string_view message) override;

  // Prints the lines still held and ends the progress row (on a console of its own it leaves
  // the terminal). Call it before writing anything else to err; a line appended afterwards
  // starts a new line.
  void Finish();

  void SetSelectedType(TargetType type) { selectedType_ = type; }
  // What ChooseHexFile returns (nothing: the operator cancelled).
  void SetHexFileChoice(std::optional<std::string> path) { hexFileChoice_ = std::move(path); }
  // The byte counts of the port behind this window, for the progress row's transfer rate.
  void SetLineCounters(const LineCounters* counters) { output_.SetCounters(row_, counters); }
  // The console this window writes to (what its output lost).
  const ConsoleOutput& Output() const { return output_; }

  const std::string& PanelText(int panel) const;
  int Progress() const { return progress_; }
  bool ButtonsEnabled() const { return buttonsEnabled_; }
  int ErrorCount() const { return errorCount_; }

 private:
  void PrintHeldLines();

  std::unique_ptr<ConsoleOutput> ownOutput_;
  ConsoleOutput& output_;
  const int row_;

  std::string heldLine_;
  bool holding_ = false;
  std::vector<std::string> heldAsides_;  // volunteered lines that came after the held one
  std::string panels_[5] = {"PORT", "N/A", "processbar", "checksum", "N/A"};
  int progress_ = 0;
  bool buttonsEnabled_ = true;
  TargetType selectedType_ = TargetType::TkSeries;
  std::optional<std::string> hexFileChoice_;
  int errorCount_ = 0;
};

}  // namespace kv218

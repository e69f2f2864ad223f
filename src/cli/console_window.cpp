#include "cli/console_window.h"

namespace kv218 {

namespace {
// While the times are all that changes, the progress row follows them once a second.
constexpr std::chrono::milliseconds kProgressRefresh{1000};
}  // namespace

ConsoleWindow::ConsoleWindow(std::ostream& out, std::ostream& err, Options options)
    : ownOutput_(
          std::make_unique<ConsoleOutput>(out, err,
                                          ConsoleOutput::Options{.showLog = options.showLog,
                                                                 .progress = options.progressBar,
                                                                 .sequences = options.sequences,
                                                                 .columns = options.columns,
                                                                 .refreshEvery = kProgressRefresh,
                                                                 .clock = {}})),
      output_(*ownOutput_),
      row_(output_.AddRow("")) {}

ConsoleWindow::ConsoleWindow(ConsoleOutput& output, int row) : output_(output), row_(row) {}

ConsoleWindow::~ConsoleWindow() { Finish(); }

void ConsoleWindow::AppendLog(std::string_view line) {
  PrintHeldLines();
  heldLine_.assign(line);
  holding_ = true;
  output_.LineStarted(row_, line);
}

void ConsoleWindow::AppendAside(std::string_view line) {
  if (holding_) {
    heldAsides_.emplace_back(line);
  } else {
    output_.WriteLine(row_, line);
  }
}

void ConsoleWindow::AppendToLastLine(std::string_view text) {
  if (!holding_) {
    heldLine_.clear();
    holding_ = true;
  }
  heldLine_.append(text);
}

void ConsoleWindow::SetPanelText(int panel, std::string_view text) {
  if (panel >= 0 && panel < 5) panels_[panel] = std::string(text);
}

const std::string& ConsoleWindow::PanelText(int panel) const {
  static const std::string none;
  return panel >= 0 && panel < 5 ? panels_[panel] : none;
}

void ConsoleWindow::SetProgress(int percent) {
  progress_ = ClampPercent(percent);
  output_.SetPercent(row_, progress_);
}

void ConsoleWindow::ShowError(std::string_view message) {
  output_.WriteError(row_, message);
  ++errorCount_;
}

void ConsoleWindow::Finish() {
  PrintHeldLines();
  output_.EndRow(row_);
}

void ConsoleWindow::PrintHeldLines() {
  if (!holding_) return;
  holding_ = false;
  output_.WriteLine(row_, heldLine_);
  for (const std::string& aside : heldAsides_) output_.WriteLine(row_, aside);
  heldAsides_.clear();
}

}  // namespace kv218

#include "app/console_window.h"

namespace kv218 {

namespace {
constexpr int kBarWidth = 40;
// "[" + bar + "] " + "100%"
constexpr std::size_t kBarTextWidth = kBarWidth + 7;
}  // namespace

ConsoleWindow::ConsoleWindow(std::ostream& out, std::ostream& err, Options options)
    : out_(out), err_(err), options_(options) {}

ConsoleWindow::~ConsoleWindow() { Finish(); }

void ConsoleWindow::AppendLog(std::string_view line) {
  PrintHeldLines();
  heldLine_.assign(line);
  holding_ = true;
}

void ConsoleWindow::AppendAside(std::string_view line) {
  if (holding_) {
    heldAsides_.emplace_back(line);
  } else if (options_.showLog) {
    PrintLine(std::string(line));
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
  // The loader sets the gauge once per line: redraw only when the figure changes.
  if (options_.progressBar && progress_ != barPercent_) DrawBar();
}

void ConsoleWindow::ShowError(std::string_view message) {
  EraseBar();
  out_.flush();
  err_ << message << '\n';
  err_.flush();
  ++errorCount_;
}

void ConsoleWindow::Finish() {
  EraseBar();
  PrintHeldLines();
}

void ConsoleWindow::PrintHeldLines() {
  if (!holding_) return;
  holding_ = false;
  if (options_.showLog) {
    PrintLine(heldLine_);
    for (const std::string& aside : heldAsides_) PrintLine(aside);
  }
  heldAsides_.clear();
}

void ConsoleWindow::PrintLine(const std::string& line) {
  // Out and err may share a terminal: the line must not land inside the bar.
  const bool redraw = barShown_;
  EraseBar();
  out_ << line << '\n';
  out_.flush();
  if (redraw) DrawBar();
}

void ConsoleWindow::DrawBar() {
  barPercent_ = progress_;
  const int filled = progress_ * kBarWidth / 100;
  std::string bar = "\r[";
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), ' ');
  bar.append("] ");
  const std::string figure = std::to_string(progress_) + "%";
  bar.append(4 - figure.size(), ' ');
  bar.append(figure);
  err_ << bar;
  err_.flush();
  barShown_ = true;
}

void ConsoleWindow::EraseBar() {
  if (!barShown_) return;
  err_ << '\r' << std::string(kBarTextWidth, ' ') << '\r';
  err_.flush();
  barShown_ = false;
  barPercent_ = -1;
}

}  // namespace kv218

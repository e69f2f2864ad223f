#pragma once
// Every effect the core has on the window goes through this interface. A front end
// (Qt, Win32, console) implements it; tests use RecordingWindow. Header-only: it is the
// one seam that the lower layers (image, serial, ops) include from app.
// All calls are made on the window thread.

#include <optional>
#include <string>
#include <string_view>

#include "ground/target_type.h"

namespace kv218 {

// How the run that has just ended went, as the window shows it.
enum class Verdict {
  None,       // a run begins: no verdict shown any more
  Succeeded,  // the run's closing line in green
  Failed,     // the run's closing line in red, and the gauge in red
};

// What the window shows over a large area, in a colour of its own, so that an operator two
// metres away sees whether the next board may go in (app/board_state.h decides it).
enum class BoardState {
  NotReady,  // no file, no open port or no type: the reason says which
  Ready,     // a file loaded, the port open, a type chosen: PC -> Target may start
  Running,   // a run is in progress
  Pass,      // the last run succeeded; shown until the next load, run, port or type change
  Fail,      // the last run failed or timed out; shown as long as a pass would be
};

struct StateShown {
  BoardState state = BoardState::NotReady;
  std::string_view reason;  // NotReady only: a short constant phrase ("no file loaded")
  int passed = 0;           // boards programmed this session, and boards that failed
  int failed = 0;
};

class WindowOps {
 public:
  virtual ~WindowOps() = default;

  // Adds a line at the end of the log pane.
  virtual void AppendLog(std::string_view line) = 0;
  // Adds a line the programmer volunteered (a status report, a note) at the end of the log
  // pane. It may arrive in the middle of a step, so it is never completed: AppendToLastLine
  // passes over it to the line AppendLog added last.
  virtual void AppendAside(std::string_view line) = 0;
  // Completes, in place, the last line that AppendLog added (the step line): it becomes that
  // line followed by text. With no such line, text starts a new line at the end.
  virtual void AppendToLastLine(std::string_view text) = 0;
  // Replaces the text of status panel 0..4.
  virtual void SetPanelText(int panel, std::string_view text) = 0;
  // Sets the gauge; shown clamped to 0..100.
  virtual void SetProgress(int percent) = 0;
  // Enables or disables the load, program and store buttons together.
  virtual void SetButtonsEnabled(bool enabled) = 0;
  // Runs the file-open dialog ("Hex files|*.hex;*.a43"); nothing when cancelled.
  virtual std::optional<std::string> ChooseHexFile() = 0;
  // The type selector's item (TargetType::None when none is selected).
  virtual TargetType SelectedType() const = 0;
  // The application's standard error display (a message box in a window).
  virtual void ShowError(std::string_view message) = 0;

  // What only a window with an operator in front of it has; a console does nothing, or says yes.
  // Enables or disables the port and type selectors together (off while a run is going on).
  virtual void SetSelectorsEnabled(bool /*enabled*/) {}
  // Asks the operator a yes-or-no question; true for yes.
  virtual bool Confirm(std::string_view /*question*/) { return true; }
  // Tells the operator that a run will not go on, and why (message), offering goOn (for
  // example "Program anyway") beside a Cancel that is the default; true only when goOn was
  // chosen. Nothing to ask on a console: false.
  virtual bool OfferToGoOn(std::string_view /*message*/, std::string_view /*goOn*/) {
    return false;
  }
  // Shows how the run went: Succeeded and Failed mark the line AppendLog added last (the run's
  // closing line) in green or red, Failed also the gauge; None takes the gauge's colour back.
  virtual void ShowVerdict(Verdict /*verdict*/) {}
  // Draws the operator's attention to the window when it is not in front (its task-bar entry
  // flashes).
  virtual void CallOperator() {}
  // Shows the board state; called whenever it may have changed.
  virtual void ShowState(const StateShown& /*shown*/) {}
};

// The gauge as it is shown: values below 0 show 0, above 100 show 100.
constexpr int ClampPercent(int percent) {
  return percent < 0 ? 0 : (percent > 100 ? 100 : percent);
}

}  // namespace kv218

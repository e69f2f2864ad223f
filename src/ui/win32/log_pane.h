#pragma once
// Memo1: the multi-line, read-only log in a monospaced font. Lines are added at the end and
// the view follows them; a double click is reported. Its context menu offers "Save Log..."
// (reported, for the form to handle), "Copy" (the selection, or every line when nothing is
// selected), and "Verify Target" and "Verify KV-218" (reported). It shows the last lines
// only (ui/common/log_bound.h); older ones go to a temporary file, which "Save Log..." and
// "Copy" put before the lines shown, so the log they give stays whole.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/win32/fonts.h"

namespace kv218 {

class LogPane {
 public:
  // Creates the edit control as a child of parent at the given place.
  LogPane(HWND parent, int id, int left, int top, int width, int height);
  ~LogPane();
  LogPane(const LogPane&) = delete;
  LogPane& operator=(const LogPane&) = delete;

  HWND Handle() const { return edit_; }
  // The screen's dots per inch changed (or are first known): the place and the font scaled.
  void SetDpi(int dpi, int left, int top, int width, int height);
  // A step line: the line AppendToLastLine completes.
  void AppendLog(std::string_view line);
  // A line the programmer volunteered (a status report, a note): added at the end, but never
  // the line a step's result goes to.
  void AppendAside(std::string_view line);
  // Completes the last step line in place, even when asides followed it; with no step line
  // yet the text becomes a line of its own at the end.
  void AppendToLastLine(std::string_view text);
  // Shows the step line (the last line AppendLog added) in colour: a run's verdict. The edit
  // control draws plain text; the coloured lines are painted over it after each WM_PAINT.
  void ColourStepLine(COLORREF colour);
  // The pane's ground (the board state's tint); the parent's WM_CTLCOLORSTATIC hands out
  // its brush.
  void SetGround(COLORREF ground);
  COLORREF Ground() const { return ground_; }
  HBRUSH GroundBrush() const { return groundBrush_; }
  // Shows the line AppendAside added last in colour: a verdict the programmer reported.
  void ColourLastAside(COLORREF colour);
  // The colour line number line is shown in (the window text colour unless coloured).
  COLORREF LineColour(std::size_t line) const;
  // The lines shown, in UTF-8.
  std::vector<std::string> Lines() const;
  // Every line logged (those no longer shown first), each ended by CR LF as Windows ends
  // lines in text files, in UTF-8: what "Save Log..." writes.
  std::string LogFileText() const;
  // The most lines shown (tests set fewer).
  void SetKeptLines(std::size_t kept) { keptLines_ = kept; }
  // While a run goes on there is no context menu: its modal loop would hold the run up
  // (Ctrl+C still copies the selection).
  void SetMenuOffered(bool offered) { menuOffered_ = offered; }
  // Copies the selection, or the whole log when nothing is selected, to the clipboard.
  void CopyToClipboard();
  void SetDoubleClickHandler(std::function<void()> onDoubleClick) {
    onDoubleClick_ = std::move(onDoubleClick);
  }
  void SetSaveLogHandler(std::function<void()> onSaveLog) { onSaveLog_ = std::move(onSaveLog); }
  void SetVerifyHandlers(std::function<void()> onVerifyTarget,
                         std::function<void()> onVerifyProgrammer) {
    onVerifyTarget_ = std::move(onVerifyTarget);
    onVerifyProgrammer_ = std::move(onVerifyProgrammer);
  }

 private:
  static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  // Shows the context menu at screen point at ((-1, -1): from the keyboard, at the caret) and
  // carries out the command picked.
  void ShowContextMenu(POINT at);
  std::wstring Text() const;
  void AppendAtEnd(const std::wstring& text);
  void InsertAt(LRESULT at, const std::wstring& text);
  void PaintColouredLines();
  // Moves the oldest lines over the bound to the spill file.
  void Trim();

  // A coloured line: its characters [start, end) in the control's text and its line number.
  struct ColouredLine {
    LRESULT start;
    LRESULT end;
    std::size_t line;
    COLORREF colour;
  };

  HWND edit_;
  Font font_;
  COLORREF ground_;
  HBRUSH groundBrush_;
  bool empty_ = true;
  LRESULT stepEnd_ = -1;       // where the last step line ends in the control's text; -1: none yet
  LRESULT stepStart_ = -1;     // where it starts
  std::size_t lineCount_ = 0;  // lines added so far
  std::size_t stepLine_ = 0;   // the step line's number
  LRESULT asideStart_ = -1;    // where the last aside starts and ends; -1: none yet
  LRESULT asideEnd_ = -1;
  std::size_t asideLine_ = 0;           // its line number
  std::vector<ColouredLine> coloured_;  // a run's closing line, a stand-alone run's verdict
  std::size_t breaks_ = 0;              // line breaks in the control's text
  bool menuOffered_ = true;
  std::size_t keptLines_;
  HANDLE spill_ = INVALID_HANDLE_VALUE;  // the lines no longer shown, in UTF-8; made at need
  std::function<void()> onDoubleClick_;
  std::function<void()> onSaveLog_;
  std::function<void()> onVerifyTarget_;
  std::function<void()> onVerifyProgrammer_;
};

}  // namespace kv218

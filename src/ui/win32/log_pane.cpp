#include "ui/win32/log_pane.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "ground/utf8.h"
#include "ui/common/log_bound.h"
#include "ui/win32/wide_text.h"

namespace kv218 {

namespace {

constexpr UINT_PTR kSubclassId = 1;

enum MenuCommand : UINT { kSaveLog = 1, kCopy, kVerifyTarget, kVerifyProgrammer };

// Puts text on the clipboard as Unicode text, in place of what was there.
void SetClipboardText(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    // The clipboard owns the memory once it has taken it.
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

}  // namespace

LogPane::LogPane(HWND parent, int id, int left, int top, int width, int height)
    : edit_(CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
                                ES_AUTOVSCROLL | ES_READONLY,
                            left, top, width, height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr)),
      font_(LogFont()),
      ground_(GetSysColor(COLOR_WINDOW)),
      groundBrush_(CreateSolidBrush(ground_)),
      keptLines_(static_cast<std::size_t>(layout::kKeptLogLines)) {
  SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  // A multi-line edit holds 32 K characters unless told otherwise; the log keeps far more.
  SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
  SetWindowSubclass(edit_, &Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

LogPane::~LogPane() {
  RemoveWindowSubclass(edit_, &Subclass, kSubclassId);
  if (spill_ != INVALID_HANDLE_VALUE) CloseHandle(spill_);  // deleted on close
  DeleteObject(groundBrush_);
}

void LogPane::SetDpi(int dpi, int left, int top, int width, int height) {
  font_ = LogFont(dpi);
  SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  SetWindowPos(edit_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(edit_, nullptr, TRUE);
}

void LogPane::SetGround(COLORREF ground) {
  if (ground == ground_) return;
  const HBRUSH brush = CreateSolidBrush(ground);
  if (brush == nullptr) return;  // keeps the old ground rather than none
  DeleteObject(groundBrush_);
  groundBrush_ = brush;
  ground_ = ground;
  InvalidateRect(edit_, nullptr, TRUE);
}

LRESULT CALLBACK LogPane::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR, DWORD_PTR self) {
  auto* pane = reinterpret_cast<LogPane*>(self);
  if (message == WM_LBUTTONDBLCLK) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    if (pane->onDoubleClick_) pane->onDoubleClick_();
    return result;
  }
  if (message == WM_PAINT) {
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    pane->PaintColouredLines();
    return result;
  }
  if (message == WM_CONTEXTMENU) {
    // The log's own menu in place of the edit control's (which offers editing a read-only
    // text cannot use). The point is signed: a second monitor may lie left of the first.
    if (pane->menuOffered_) {
      pane->ShowContextMenu(
          {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
    }
    return 0;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void LogPane::ShowContextMenu(POINT at) {
  if (at.x == -1 && at.y == -1) {
    // Shift+F10 or the menu key: at the caret, or the pane's corner when it has none.
    if (!GetCaretPos(&at)) at = {0, 0};
    ClientToScreen(edit_, &at);
  }
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, kSaveLog, L"Save Log...");
  AppendMenuW(menu, MF_STRING, kCopy, L"Copy");
  AppendMenuW(menu, MF_STRING, kVerifyTarget, L"Verify Target");
  AppendMenuW(menu, MF_STRING, kVerifyProgrammer, L"Verify KV-218");
  const auto picked = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, edit_, nullptr));
  DestroyMenu(menu);
  if (picked == kSaveLog && onSaveLog_) onSaveLog_();
  if (picked == kCopy) CopyToClipboard();
  if (picked == kVerifyTarget && onVerifyTarget_) onVerifyTarget_();
  if (picked == kVerifyProgrammer && onVerifyProgrammer_) onVerifyProgrammer_();
}

void LogPane::CopyToClipboard() {
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start != end) {
    SendMessageW(edit_, WM_COPY, 0, 0);
  } else {
    // The whole log, those lines no longer shown first; no break after the last line, as a
    // selection has none.
    std::string whole = LogFileText();
    if (whole.ends_with("\r\n")) whole.resize(whole.size() - 2);
    SetClipboardText(edit_, WideFromUtf8(whole));
  }
}

void LogPane::InsertAt(LRESULT at, const std::wstring& text) {
  SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(at), at);
  SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  empty_ = false;
  for (std::size_t found = text.find(L"\r\n"); found != std::wstring::npos;
       found = text.find(L"\r\n", found + 2)) {
    ++breaks_;
  }
}

void LogPane::Trim() {
  const std::size_t shown = breaks_ + 1;
  if (shown <
      keptLines_ + static_cast<std::size_t>(layout::LogTrimSlack(static_cast<int>(keptLines_)))) {
    return;
  }
  const std::size_t over = shown - keptLines_;
  const std::wstring text = Text();
  std::size_t cut = 0;
  for (std::size_t line = 0; line < over; ++line) cut = text.find(L"\r\n", cut) + 2;
  if (spill_ == INVALID_HANDLE_VALUE) {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t path[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, folder) > 0 && GetTempFileNameW(folder, L"log", 0, path) != 0) {
      spill_ = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
  }
  if (spill_ != INVALID_HANDLE_VALUE) {
    const std::string bytes = Utf8FromWide(std::wstring_view(text).substr(0, cut));
    DWORD written = 0;
    SetFilePointer(spill_, 0, nullptr, FILE_END);
    WriteFile(spill_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  SendMessageW(edit_, EM_SETSEL, 0, static_cast<LPARAM>(cut));
  SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
  breaks_ -= over;
  // Everything that counts characters or lines moves up with the text.
  const auto removed = static_cast<LRESULT>(cut);
  if (stepStart_ >= removed) {
    stepStart_ -= removed;
    stepEnd_ -= removed;
    stepLine_ -= over;
  } else {
    stepStart_ = stepEnd_ = -1;
  }
  if (asideStart_ >= removed) {
    asideStart_ -= removed;
    asideEnd_ -= removed;
    asideLine_ -= over;
  } else {
    asideStart_ = asideEnd_ = -1;
  }
  std::erase_if(coloured_, [removed](const ColouredLine& line) { return line.start < removed; });
  for (ColouredLine& line : coloured_) {
    line.start -= removed;
    line.end -= removed;
    line.line -= over;
  }
  lineCount_ -= over;
  AppendAtEnd(L"");  // the view follows the end again
}

void LogPane::AppendAtEnd(const std::wstring& text) {
  InsertAt(GetWindowTextLengthW(edit_), text);
  SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

void LogPane::AppendLog(std::string_view line) {
  stepStart_ = GetWindowTextLengthW(edit_) + (empty_ ? 0 : 2);
  AppendAtEnd(empty_ ? EditText(line) : L"\r\n" + EditText(line));
  stepEnd_ = GetWindowTextLengthW(edit_);
  stepLine_ = lineCount_++;
  Trim();
}

void LogPane::AppendAside(std::string_view line) {
  asideStart_ = GetWindowTextLengthW(edit_) + (empty_ ? 0 : 2);
  AppendAtEnd(empty_ ? EditText(line) : L"\r\n" + EditText(line));
  asideEnd_ = GetWindowTextLengthW(edit_);
  asideLine_ = lineCount_++;
  Trim();
}

void LogPane::ColourLastAside(COLORREF colour) {
  if (asideEnd_ < 0) return;
  coloured_.push_back({asideStart_, asideEnd_, asideLine_, colour});
  InvalidateRect(edit_, nullptr, FALSE);
}

void LogPane::AppendToLastLine(std::string_view text) {
  if (stepEnd_ < 0) {
    AppendLog(text);
    return;
  }
  // Asides after the step line move along; the view stays where it was.
  const std::wstring wide = EditText(text);
  InsertAt(stepEnd_, wide);
  const auto added = static_cast<LRESULT>(wide.size());
  for (ColouredLine& line : coloured_) {
    if (line.start == stepStart_) line.end += added;  // the coloured line itself grows
    if (line.start > stepEnd_) line.start += added, line.end += added;
  }
  stepEnd_ += added;
}

void LogPane::ColourStepLine(COLORREF colour) {
  if (stepEnd_ < 0) return;
  if (!coloured_.empty() && coloured_.back().start == stepStart_) {
    coloured_.back().colour = colour;
  } else {
    coloured_.push_back({stepStart_, stepEnd_, stepLine_, colour});
  }
  InvalidateRect(edit_, nullptr, FALSE);
}

COLORREF LogPane::LineColour(std::size_t line) const {
  for (const ColouredLine& coloured : coloured_) {
    if (coloured.line == line) return coloured.colour;
  }
  return GetSysColor(COLOR_WINDOWTEXT);
}

void LogPane::PaintColouredLines() {
  if (coloured_.empty()) return;
  DWORD selStart = 0;
  DWORD selEnd = 0;
  SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
               reinterpret_cast<LPARAM>(&selEnd));
  RECT client;
  GetClientRect(edit_, &client);
  const LRESULT firstShown =
      SendMessageW(edit_, EM_LINEINDEX, SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  HDC dc = GetDC(edit_);
  const HGDIOBJ oldFont = SelectObject(dc, font_.get());
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, ground_);
  std::wstring row(512, L'\0');
  for (const ColouredLine& coloured : coloured_) {
    // Lines scrolled out above are passed over; a selected line keeps the selection's look.
    if (coloured.end <= firstShown) continue;
    if (static_cast<LRESULT>(selStart) < coloured.end &&
        coloured.start < static_cast<LRESULT>(selEnd))
      continue;
    SetTextColor(dc, coloured.colour);
    // The line as wrapped: one piece per row of the control.
    for (LRESULT at = coloured.start; at < coloured.end;) {
      const LRESULT rowNumber = SendMessageW(edit_, EM_LINEFROMCHAR, static_cast<WPARAM>(at), 0);
      const LRESULT rowStart = SendMessageW(edit_, EM_LINEINDEX, static_cast<WPARAM>(rowNumber), 0);
      const LRESULT rowLength = SendMessageW(edit_, EM_LINELENGTH, static_cast<WPARAM>(at), 0);
      if (rowLength >= static_cast<LRESULT>(row.size())) break;
      const LRESULT pieceEnd = std::min(coloured.end, rowStart + rowLength);
      const LRESULT position = SendMessageW(edit_, EM_POSFROMCHAR, static_cast<WPARAM>(at), 0);
      const int y = static_cast<short>(HIWORD(position));
      if (position != -1 && y < client.bottom) {
        row[0] = static_cast<wchar_t>(row.size());  // EM_GETLINE reads the buffer's size there
        const LRESULT copied = SendMessageW(edit_, EM_GETLINE, static_cast<WPARAM>(rowNumber),
                                            reinterpret_cast<LPARAM>(row.data()));
        const LRESULT from = at - rowStart;
        if (copied >= pieceEnd - rowStart) {
          TextOutW(dc, static_cast<short>(LOWORD(position)), y, row.data() + from,
                   static_cast<int>(pieceEnd - at));
        }
      }
      at = pieceEnd > at ? pieceEnd : at + 1;  // a blank the wrap left at a row's end
    }
  }
  SelectObject(dc, oldFont);
  ReleaseDC(edit_, dc);
}

std::wstring LogPane::Text() const {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit_)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(edit_, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::vector<std::string> LogPane::Lines() const {
  std::vector<std::string> lines;
  if (empty_) return lines;
  const std::wstring text = Text();
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(L"\r\n", start);
    lines.push_back(Utf8FromWide(std::wstring_view(text).substr(start, end - start)));
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  return lines;
}

std::string LogPane::LogFileText() const {
  std::string text;
  if (spill_ != INVALID_HANDLE_VALUE) {
    const DWORD size = GetFileSize(spill_, nullptr);
    text.resize(size);
    DWORD read = 0;
    SetFilePointer(spill_, 0, nullptr, FILE_BEGIN);
    if (!ReadFile(spill_, text.data(), size, &read, nullptr)) read = 0;
    text.resize(read);
  }
  for (const std::string& line : Lines()) text += line + "\r\n";
  return text;
}

}  // namespace kv218

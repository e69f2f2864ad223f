#pragma once
// Acts on a modal window of this thread (a popup menu, a message box) from inside the loop that
// shows it: a thread timer ticks, and each tick tries the action until it has found its window.
// The helpers below are such actions.

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kv218::test {

class ModalWatch {
 public:
  // act returns false while its window is not there yet.
  explicit ModalWatch(std::function<bool()> act)
      : act_(std::move(act)), timer_(SetTimer(nullptr, 0, 10, &Tick)) {
    Watches()[timer_] = this;
  }
  ~ModalWatch() { Stop(); }
  ModalWatch(const ModalWatch&) = delete;
  ModalWatch& operator=(const ModalWatch&) = delete;

  bool Done() const { return done_; }

 private:
  static std::map<UINT_PTR, ModalWatch*>& Watches() {
    static std::map<UINT_PTR, ModalWatch*> watches;
    return watches;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
    const auto found = Watches().find(timer);
    if (found == Watches().end()) return;
    ModalWatch& watch = *found->second;
    if (watch.act_()) {
      watch.done_ = true;
      watch.Stop();
    }
  }
  void Stop() {
    if (timer_ == 0) return;
    KillTimer(nullptr, timer_);
    Watches().erase(timer_);
    timer_ = 0;
  }

  std::function<bool()> act_;
  UINT_PTR timer_;
  bool done_ = false;
};

// The open popup menu's entries; empty while none is open.
inline std::vector<std::wstring> OpenMenuEntries(HWND* menuWindow = nullptr) {
  std::vector<std::wstring> entries;
  const HWND window = FindWindowW(L"#32768", nullptr);
  if (window == nullptr || !IsWindowVisible(window)) return entries;
  const auto menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
  for (int i = 0, count = GetMenuItemCount(menu); i < count; ++i) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
    entries.emplace_back(text);
  }
  if (menuWindow != nullptr) *menuWindow = window;
  return entries;
}

// Notes the open popup menu's entries and picks the one called pick by the keyboard, as the
// operator would (none: the menu is closed with Escape).
inline std::function<bool()> PickFromMenu(std::vector<std::wstring>& entries, std::wstring pick) {
  return [&entries, pick = std::move(pick)] {
    HWND window = nullptr;
    entries = OpenMenuEntries(&window);
    if (entries.empty()) return false;
    std::size_t position = 0;
    while (position < entries.size() && entries[position] != pick) ++position;
    const auto key = [window](WPARAM code) { PostMessageW(window, WM_KEYDOWN, code, 0); };
    if (position == entries.size()) {
      key(VK_ESCAPE);
      return true;
    }
    for (std::size_t down = 0; down <= position; ++down) key(VK_DOWN);
    key(VK_RETURN);
    return true;
  };
}

// Notes the title and text of this thread's message box, then presses its button (OK, or
// Yes or No for a question).
inline std::function<bool()> AnswerMessageBox(std::wstring& title, std::wstring& text,
                                              int button = IDOK) {
  return [&title, &text, button] {
    HWND box = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
          wchar_t name[16] = {};
          GetClassNameW(window, name, 16);
          if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
          *reinterpret_cast<HWND*>(found) = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&box));
    if (box == nullptr) return false;
    wchar_t buffer[512] = {};
    GetWindowTextW(box, buffer, 512);
    title = buffer;
    GetDlgItemTextW(box, 0xFFFF, buffer, 512);  // the message's static text
    text = buffer;
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    return true;
  };
}

// A message box shown on a thread of its own (the close question), its title and text noted,
// answered with answer.
inline void AnswerBox(HWND box, std::wstring& title, std::wstring& text, int answer) {
  wchar_t buffer[512] = {};
  GetWindowTextW(box, buffer, 512);
  title = buffer;
  GetDlgItemTextW(box, 0xFFFF, buffer, 512);  // the message's static text
  text = buffer;
  PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
}

}  // namespace kv218::test

#pragma once
// The window thread's message loop over the Win32 message queue. Ticks of Timer1 (WM_TIMER),
// the receive thread's hand-overs (posted messages) and the operator's clicks are all messages
// handled on the window thread. A message-only window of the loop's own receives the first two.

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

#include "ground/message_loop.h"

namespace kv218 {

class Win32MessageLoop : public MessageLoop {
 public:
  // Lives on the calling (window) thread.
  Win32MessageLoop();
  ~Win32MessageLoop() override;
  Win32MessageLoop(const Win32MessageLoop&) = delete;
  Win32MessageLoop& operator=(const Win32MessageLoop&) = delete;

  void PumpMessages() override;
  // Sleeps in MsgWaitForMultipleObjectsEx until input is queued, then pumps.
  void WaitForMessages() override;
  bool RunOnWindowThread(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  void SetTickTimer(bool on) override;
  void SetTickHandler(std::function<void()> onTick) override;

  // The top-level window whose controls Tab and the arrow keys move between.
  void SetNavigationWindow(HWND window) { navigation_ = window; }
  // Sees every key pressed before any control does (also in a run's waits); a key it
  // returns true for goes no further.
  void SetKeyHandler(std::function<bool(const MSG&)> onKey) { onKey_ = std::move(onKey); }
  // Handles messages until WM_QUIT (also one met by a nested pump); returns its exit code.
  int Run();
  bool QuitSeen() const { return quitSeen_; }

  // Window thread, once the window has closed: every later RunOnWindowThread or Post is
  // refused, and hand-overs still queued are dropped, which releases a receive thread that
  // waits for one so that it can be joined.
  void Shutdown();

  // The message-only window that receives hand-overs and ticks (tests look at its queue).
  HWND MessageWindow() const { return window_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool Queue(std::function<void()> fn);
  void RunOneQueued();
  void Dispatch(MSG& message);

  HWND window_ = nullptr;
  const DWORD windowThread_;
  HWND navigation_ = nullptr;
  std::function<bool(const MSG&)> onKey_;
  std::function<void()> onTick_;
  bool timerOn_ = false;
  bool quitSeen_ = false;
  int quitCode_ = 0;

  std::mutex queueing_;  // orders queueing against Shutdown; guards queued_
  std::deque<std::function<void()>> queued_;
  bool shutDown_ = false;
};

}  // namespace kv218

#include "ui/win32/win32_message_loop.h"

#include <condition_variable>
#include <memory>
#include <utility>

namespace kv218 {

namespace {

constexpr UINT kRunQueued = WM_APP + 1;
constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT kTimer1Interval = 1000;  // ms
constexpr wchar_t kClassName[] = L"KV218MessageLoop";

// Travels with a queued hand-over and wakes the waiting thread when the call is gone: after
// it has run, or when the loop dropped it unrun.
struct HandOver {
  std::function<void()> fn;
  bool ran = false;
  std::mutex mutex;
  std::condition_variable changed;
  bool gone = false;

  void Release() {
    {
      const std::lock_guard lock(mutex);
      gone = true;
    }
    changed.notify_all();
  }
  void AwaitRelease() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return gone; });
  }
};

class WakeWhenGone {
 public:
  explicit WakeWhenGone(std::shared_ptr<HandOver> handOver) : handOver_(std::move(handOver)) {}
  WakeWhenGone(const WakeWhenGone&) = delete;
  WakeWhenGone& operator=(const WakeWhenGone&) = delete;
  ~WakeWhenGone() { handOver_->Release(); }
  HandOver& handOver() { return *handOver_; }

 private:
  std::shared_ptr<HandOver> handOver_;
};

void RegisterLoopClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpszClassName = kClassName;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpfnWndProc = DefWindowProcW;
  RegisterClassExW(&windowClass);  // fails harmlessly when already registered
}

}  // namespace

Win32MessageLoop::Win32MessageLoop() : windowThread_(GetCurrentThreadId()) {
  RegisterLoopClass();
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure));
}

Win32MessageLoop::~Win32MessageLoop() {
  Shutdown();
  DestroyWindow(window_);
}

LRESULT CALLBACK Win32MessageLoop::Procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  auto* loop = reinterpret_cast<Win32MessageLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (loop != nullptr) {
    if (message == kRunQueued) {
      loop->RunOneQueued();
      return 0;
    }
    if (message == WM_TIMER && wParam == kTimer1Id) {
      if (loop->timerOn_ && loop->onTick_) loop->onTick_();
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Win32MessageLoop::Dispatch(MSG& message) {
  if (message.message == WM_KEYDOWN && onKey_ && onKey_(message)) return;
  if (navigation_ != nullptr && IsDialogMessageW(navigation_, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void Win32MessageLoop::PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Kept for Run: posting it again would wake every later wait at once.
      quitSeen_ = true;
      quitCode_ = static_cast<int>(message.wParam);
      return;
    }
    Dispatch(message);
  }
}

void Win32MessageLoop::WaitForMessages() {
  // MWMO_INPUTAVAILABLE also wakes for input that an earlier peek saw but left queued.
  MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  PumpMessages();
}

int Win32MessageLoop::Run() {
  MSG message;
  while (!quitSeen_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      quitSeen_ = true;
      quitCode_ = static_cast<int>(message.wParam);
    } else if (got > 0) {
      Dispatch(message);
    }
  }
  return quitCode_;
}

bool Win32MessageLoop::Queue(std::function<void()> fn) {
  const std::lock_guard lock(queueing_);
  if (shutDown_) return false;
  queued_.push_back(std::move(fn));
  PostMessageW(window_, kRunQueued, 0, 0);
  return true;
}

void Win32MessageLoop::RunOneQueued() {
  std::function<void()> fn;
  {
    const std::lock_guard lock(queueing_);
    if (queued_.empty()) return;  // dropped by Shutdown
    fn = std::move(queued_.front());
    queued_.pop_front();
  }
  fn();
}

bool Win32MessageLoop::RunOnWindowThread(const std::function<void()>& fn) {
  if (GetCurrentThreadId() == windowThread_) {
    // Already on the window thread: a posted call would wait for itself.
    {
      const std::lock_guard lock(queueing_);
      if (shutDown_) return false;
    }
    fn();
    return true;
  }
  auto handOver = std::make_shared<HandOver>();
  handOver->fn = fn;
  {
    auto wake = std::make_shared<WakeWhenGone>(handOver);
    const bool queued = Queue([wake] {
      wake->handOver().fn();
      wake->handOver().ran = true;
    });
    if (!queued) return false;
  }  // from here the queued call holds the only WakeWhenGone
  handOver->AwaitRelease();
  return handOver->ran;
}

void Win32MessageLoop::Post(std::function<void()> fn) { Queue(std::move(fn)); }

void Win32MessageLoop::SetTickTimer(bool on) {
  if (on == timerOn_) return;  // switching on a running timer keeps its period
  timerOn_ = on;
  if (on) {
    SetTimer(window_, kTimer1Id, kTimer1Interval, nullptr);
  } else {
    KillTimer(window_, kTimer1Id);
  }
}

void Win32MessageLoop::SetTickHandler(std::function<void()> onTick) { onTick_ = std::move(onTick); }

void Win32MessageLoop::Shutdown() {
  std::deque<std::function<void()>> dropped;
  {
    const std::lock_guard lock(queueing_);
    if (shutDown_) return;
    shutDown_ = true;
    dropped.swap(queued_);
  }
  SetTickTimer(false);
  // Destroying the dropped calls wakes each waiting thread, which then sees false.
  dropped.clear();
}

}  // namespace kv218

#include "ui/win32/stop_question.h"

#include <memory>

#include "ui/win32/win32_window_ops.h"

namespace kv218 {

namespace {
// The question whose box the creation hook of its thread is waiting for: one per thread.
thread_local StopQuestion* asking = nullptr;
}  // namespace

StopQuestion::~StopQuestion() {
  Dismiss();
  if (thread_ != nullptr) {
    // The box has been told to close; its thread sends nothing to this one, so waiting for
    // it cannot hold it up.
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
}

void StopQuestion::Ask(HWND window, const std::wstring& question,
                       std::function<void(std::function<void()>)> post,
                       std::function<void(bool)> answered) {
  if (thread_ != nullptr) return;
  window_ = window;
  question_ = question;
  post_ = std::move(post);
  answered_ = std::move(answered);
  {
    const std::lock_guard lock(mutex_);
    box_ = nullptr;
    dismissed_ = false;
    answerPosted_ = false;
  }
  thread_ = CreateThread(nullptr, 0, &StopQuestion::Show, this, 0, nullptr);
  if (thread_ == nullptr) return;
  EnableWindow(window_, FALSE);
}

DWORD WINAPI StopQuestion::Show(void* self) {
  auto& question = *static_cast<StopQuestion*>(self);
  asking = &question;
  // The box is told apart from any other window of this thread as it is activated.
  HHOOK hook = SetWindowsHookExW(WH_CBT, &StopQuestion::OnCreation, nullptr, GetCurrentThreadId());
  // No owner: an owner on another thread would tie the two threads' input together, and the
  // window thread is busy with the run. The window is disabled instead.
  const int answer =
      MessageBoxW(nullptr, question.question_.c_str(), kApplicationTitle,
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_TOPMOST);
  if (hook != nullptr) UnhookWindowsHookEx(hook);
  bool dismissed = false;
  {
    const std::lock_guard lock(question.mutex_);
    question.box_ = nullptr;
    dismissed = question.dismissed_;
  }
  if (!dismissed) {
    question.post_([&question, yes = answer == IDYES] {
      if (question.thread_ == nullptr) return;  // dismissed meanwhile
      question.Finished();
      question.answered_(yes);
    });
  }
  {
    const std::lock_guard lock(question.mutex_);
    question.answerPosted_ = true;
    question.boxShown_.notify_all();
  }
  return 0;
}

LRESULT CALLBACK StopQuestion::OnCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && asking != nullptr) {
    const auto box = reinterpret_cast<HWND>(wParam);
    StopQuestion& question = *asking;
    const std::lock_guard lock(question.mutex_);
    if (question.box_ == nullptr) {
      question.box_ = box;
      // Dismissed before the box was there: it closes at once.
      if (question.dismissed_) PostMessageW(box, WM_COMMAND, IDNO, 0);
      question.boxShown_.notify_all();
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void StopQuestion::Finished() {
  WaitForSingleObject(thread_, INFINITE);  // it has posted its answer and is leaving
  CloseHandle(thread_);
  thread_ = nullptr;
  EnableWindow(window_, TRUE);
}

void StopQuestion::Dismiss() {
  if (thread_ == nullptr) return;
  {
    const std::lock_guard lock(mutex_);
    dismissed_ = true;
    if (box_ != nullptr) PostMessageW(box_, WM_COMMAND, IDNO, 0);
  }
  Finished();
}

bool StopQuestion::WaitForAnswer(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return boxShown_.wait_for(lock, limit, [this] { return answerPosted_; });
}

HWND StopQuestion::WaitForBox(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  boxShown_.wait_for(lock, limit, [this] { return box_ != nullptr; });
  return box_;
}

}  // namespace kv218

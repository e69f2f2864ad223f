#pragma once
// The close question during a run ("A run is in progress. Stop it and close?"), asked by a
// message box on a thread of its own. A message box on the window thread would run its modal
// loop inside the run's wait, which could then see no reply until the box was answered while
// the ticks went on counting; from another thread the run goes on under the question, the
// programmer hears the same frames, and the time-out counts only its silence. The window is
// disabled while the box is up, as a box it owned would disable it.

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

namespace kv218 {

class StopQuestion {
 public:
  StopQuestion() = default;
  ~StopQuestion();
  StopQuestion(const StopQuestion&) = delete;
  StopQuestion& operator=(const StopQuestion&) = delete;

  // Shows the question over window; answered(yes) is then called on the window thread
  // through post, unless the question was dismissed first. Nothing while one is open.
  void Ask(HWND window, const std::wstring& question,
           std::function<void(std::function<void()>)> post, std::function<void(bool)> answered);
  bool IsOpen() const { return thread_ != nullptr; }
  // The run is over before the question was answered: the box closes as if No was pressed
  // and the answer goes nowhere. The window is enabled again.
  void Dismiss();

  // The box once it is on the screen (tests): null when none came within limit.
  HWND WaitForBox(std::chrono::milliseconds limit);
  // Until the box was answered and its answer is on its way to the window thread (tests):
  // false when that did not happen within limit.
  bool WaitForAnswer(std::chrono::milliseconds limit);

 private:
  static DWORD WINAPI Show(void* self);
  static LRESULT CALLBACK OnCreation(int code, WPARAM wParam, LPARAM lParam);
  void Finished();  // window thread: the thread has ended

  HWND window_ = nullptr;
  std::wstring question_;
  std::function<void(std::function<void()>)> post_;
  std::function<void(bool)> answered_;
  HANDLE thread_ = nullptr;

  std::mutex mutex_;  // guards what follows, shared with the question's thread
  std::condition_variable boxShown_;
  HWND box_ = nullptr;
  bool dismissed_ = false;
  bool answerPosted_ = false;
};

}  // namespace kv218

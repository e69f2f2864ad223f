#pragma once
// MessageLoop for the command line and the tests: a mutex/condition-variable queue of
// messages and the tick timer on a steady-clock deadline. The window thread is the thread that
// created the loop, or the one that last called BecomeWindowThread.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "ground/message_loop.h"

namespace kv218 {

class QueueLoop : public MessageLoop {
 public:
  explicit QueueLoop(std::chrono::milliseconds tickPeriod = std::chrono::milliseconds(1000));
  ~QueueLoop() override;
  QueueLoop(const QueueLoop&) = delete;
  QueueLoop& operator=(const QueueLoop&) = delete;

  // Handles queued messages until the queue is empty, then a due tick; returns at once.
  void PumpMessages() override;
  // Sleeps until a message is queued or the next tick is due, then pumps. Returns at once
  // after Shutdown.
  void WaitForMessages() override;
  // Called on the window thread itself, runs fn at once.
  bool RunOnWindowThread(const std::function<void()>& fn) override;
  // Dropped after Shutdown.
  void Post(std::function<void()> fn) override;
  void SetTickTimer(bool on) override;
  void SetTickHandler(std::function<void()> onTick) override;

  // Drops every queued message, releases every thread blocked in RunOnWindowThread (whose
  // function then never runs: it returns false) and refuses all later messages.
  void Shutdown();
  // Makes the calling thread the window thread.
  void BecomeWindowThread();
  bool IsWindowThread() const;
  // Messages queued and not yet taken.
  std::size_t PendingCount() const;

 private:
  // A RunOnWindowThread call, on its caller's stack while the caller waits for it.
  struct BlockingCall {
    const std::function<void()>* fn = nullptr;
    enum class State { Queued, Running, Done } state = State::Queued;
  };
  struct Message {
    std::function<void()> fn;
    BlockingCall* call = nullptr;  // set instead of fn for RunOnWindowThread
  };

  bool TickDue(std::chrono::steady_clock::time_point now) const;  // with mutex_ held
  void Run(Message& message);

  const std::chrono::milliseconds tickPeriod_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;  // a message queued, a call done, a shutdown
  std::deque<Message> queue_;
  std::optional<std::chrono::steady_clock::time_point> nextTick_;  // tick timer on
  std::function<void()> onTick_;
  bool shutDown_ = false;
  std::thread::id windowThread_;
};

}  // namespace kv218

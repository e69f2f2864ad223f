#pragma once
// A message loop with virtual time, for deterministic tests of the sequences. Messages run on
// the window thread (the thread that created the loop) in the order they were posted. Time
// does not pass by itself: when nothing is pending, WaitForMessages jumps the virtual clock to
// the next event (a scheduled message or the next tick of the tick timer) and delivers it at once,
// so a 16-tick time-out costs microseconds. Only when there is no next event at all (timer off,
// nothing scheduled) does it block until another thread posts.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "ground/message_loop.h"

namespace kv218 {

class VirtualTimeLoop final : public MessageLoop {
 public:
  using Millis = std::chrono::milliseconds;

  explicit VirtualTimeLoop(Millis tickPeriod = Millis(1000));

  void PumpMessages() override;
  void WaitForMessages() override;
  bool RunOnWindowThread(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  void SetTickTimer(bool on) override;
  void SetTickHandler(std::function<void()> onTick) override;

  // Runs fn on the window thread once the virtual clock reaches now + delay.
  void PostAfter(Millis delay, std::function<void()> fn);
  // A blocking sleep in virtual time: the clock moves on, no message is handled.
  void Sleep(Millis duration);
  // Makes RunOnWindowThread refuse from now on and releases blocked callers.
  void Shutdown();

  Millis Now() const;
  bool TickTimerOn() const;
  std::int64_t TicksDelivered() const;
  std::int64_t SleepCalls() const;

 private:
  // Caller holds mutex_. Takes the pending messages (or, when there are none, the next event in
  // virtual time); false when there is nothing to run and nothing to wait for.
  bool TakeWork(std::deque<std::function<void()>>& work, bool advanceTime);
  void RunAll(std::deque<std::function<void()>>& work);

  const Millis tickPeriod_;
  const std::thread::id windowThread_;
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::condition_variable ran_;
  std::deque<std::function<void()>> queue_;
  std::multimap<Millis, std::function<void()>> scheduled_;
  std::function<void()> onTick_;
  Millis now_{0};
  Millis nextTick_{0};
  bool timerOn_ = false;
  bool shutDown_ = false;
  std::int64_t ticks_ = 0;
  std::int64_t sleeps_ = 0;
};

}  // namespace kv218

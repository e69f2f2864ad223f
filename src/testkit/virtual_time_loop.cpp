#include "testkit/virtual_time_loop.h"

#include <memory>
#include <utility>

namespace kv218 {

VirtualTimeLoop::VirtualTimeLoop(Millis tickPeriod)
    : tickPeriod_(tickPeriod), windowThread_(std::this_thread::get_id()) {}

void VirtualTimeLoop::RunAll(std::deque<std::function<void()>>& work) {
  while (!work.empty()) {
    auto fn = std::move(work.front());
    work.pop_front();
    if (fn) fn();
  }
}

bool VirtualTimeLoop::TakeWork(std::deque<std::function<void()>>& work, bool advanceTime) {
  if (!queue_.empty()) {
    work.swap(queue_);
    return true;
  }
  if (!advanceTime) return false;
  const bool haveScheduled = !scheduled_.empty();
  if (!timerOn_ && !haveScheduled) return false;
  // The next event in virtual time: a scheduled message or the next tick, whichever is first
  // (a scheduled message due at the same moment as a tick goes first).
  const bool tickFirst = timerOn_ && (!haveScheduled || nextTick_ < scheduled_.begin()->first);
  if (tickFirst) {
    if (nextTick_ > now_) now_ = nextTick_;
    nextTick_ += tickPeriod_;
    if (nextTick_ <= now_) nextTick_ = now_ + tickPeriod_;  // late ticks coalesce, as a window's do
    ++ticks_;
    work.push_back([this] {
      if (onTick_) onTick_();
    });
    return true;
  }
  const Millis due = scheduled_.begin()->first;
  if (due > now_) now_ = due;
  while (!scheduled_.empty() && scheduled_.begin()->first == due) {
    work.push_back(std::move(scheduled_.begin()->second));
    scheduled_.erase(scheduled_.begin());
  }
  return true;
}

void VirtualTimeLoop::PumpMessages() {
  std::deque<std::function<void()>> work;
  {
    std::unique_lock lock(mutex_);
    if (!TakeWork(work, false)) return;
  }
  RunAll(work);
}

void VirtualTimeLoop::WaitForMessages() {
  std::deque<std::function<void()>> work;
  {
    std::unique_lock lock(mutex_);
    while (!TakeWork(work, true)) {
      if (shutDown_) return;
      posted_.wait(lock);  // nothing will ever happen in virtual time: only another thread can help
    }
  }
  RunAll(work);
}

bool VirtualTimeLoop::RunOnWindowThread(const std::function<void()>& fn) {
  if (std::this_thread::get_id() == windowThread_) {
    fn();
    return true;
  }
  auto done = std::make_shared<bool>(false);
  std::unique_lock lock(mutex_);
  if (shutDown_) return false;
  queue_.push_back([this, fn, done] {
    fn();
    std::lock_guard inner(mutex_);
    *done = true;
    ran_.notify_all();
  });
  posted_.notify_all();
  ran_.wait(lock, [&] { return *done || shutDown_; });
  return *done;
}

void VirtualTimeLoop::Post(std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  queue_.push_back(std::move(fn));
  posted_.notify_all();
}

void VirtualTimeLoop::PostAfter(Millis delay, std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  scheduled_.emplace(now_ + delay, std::move(fn));
  posted_.notify_all();
}

void VirtualTimeLoop::SetTickTimer(bool on) {
  std::lock_guard lock(mutex_);
  if (on && !timerOn_) nextTick_ = now_ + tickPeriod_;
  timerOn_ = on;
  posted_.notify_all();
}

void VirtualTimeLoop::SetTickHandler(std::function<void()> onTick) {
  std::lock_guard lock(mutex_);
  onTick_ = std::move(onTick);
}

void VirtualTimeLoop::Sleep(Millis duration) {
  std::lock_guard lock(mutex_);
  now_ += duration;
  ++sleeps_;
}

void VirtualTimeLoop::Shutdown() {
  std::lock_guard lock(mutex_);
  shutDown_ = true;
  posted_.notify_all();
  ran_.notify_all();
}

VirtualTimeLoop::Millis VirtualTimeLoop::Now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

bool VirtualTimeLoop::TickTimerOn() const {
  std::lock_guard lock(mutex_);
  return timerOn_;
}

std::int64_t VirtualTimeLoop::TicksDelivered() const {
  std::lock_guard lock(mutex_);
  return ticks_;
}

std::int64_t VirtualTimeLoop::SleepCalls() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

}  // namespace kv218

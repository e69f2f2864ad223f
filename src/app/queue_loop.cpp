#include "app/queue_loop.h"

#include <utility>

namespace kv218 {

QueueLoop::QueueLoop(std::chrono::milliseconds tickPeriod)
    : tickPeriod_(tickPeriod), windowThread_(std::this_thread::get_id()) {}

QueueLoop::~QueueLoop() { Shutdown(); }

void QueueLoop::BecomeWindowThread() {
  std::lock_guard lock(mutex_);
  windowThread_ = std::this_thread::get_id();
}

bool QueueLoop::IsWindowThread() const {
  std::lock_guard lock(mutex_);
  return windowThread_ == std::this_thread::get_id();
}

std::size_t QueueLoop::PendingCount() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

bool QueueLoop::TickDue(std::chrono::steady_clock::time_point now) const {
  return nextTick_ && now >= *nextTick_;
}

void QueueLoop::Run(Message& message) {
  if (message.call == nullptr) {
    message.fn();
    return;
  }
  BlockingCall& call = *message.call;
  // Marks the call done also when fn throws, so its caller is never left waiting.
  struct Finish {
    QueueLoop& loop;
    BlockingCall& call;
    ~Finish() {
      {
        std::lock_guard lock(loop.mutex_);
        call.state = BlockingCall::State::Done;
      }
      loop.changed_.notify_all();
    }
  } finish{*this, call};
  (*call.fn)();
}

void QueueLoop::PumpMessages() {
  // Messages first, one at a time and without the lock, so handlers may post, pump again
  // (a sequence's wait inside a click) or block other threads' calls.
  while (true) {
    Message message;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) break;
      message = std::move(queue_.front());
      queue_.pop_front();
      if (message.call != nullptr) message.call->state = BlockingCall::State::Running;
    }
    Run(message);
  }
  // Then at most one tick: ticks that fell due while the thread was busy are merged.
  std::function<void()> tick;
  {
    std::lock_guard lock(mutex_);
    auto now = std::chrono::steady_clock::now();
    if (!TickDue(now)) return;
    *nextTick_ += tickPeriod_;
    if (*nextTick_ <= now) *nextTick_ = now + tickPeriod_;
    tick = onTick_;
  }
  if (tick) tick();
}

void QueueLoop::WaitForMessages() {
  {
    std::unique_lock lock(mutex_);
    while (!shutDown_ && queue_.empty()) {
      if (!nextTick_) {
        changed_.wait(lock);
        continue;
      }
      if (TickDue(std::chrono::steady_clock::now())) break;
      changed_.wait_until(lock, *nextTick_);
    }
  }
  PumpMessages();
}

bool QueueLoop::RunOnWindowThread(const std::function<void()>& fn) {
  if (IsWindowThread()) {
    fn();
    return true;
  }
  BlockingCall call;
  call.fn = &fn;
  std::unique_lock lock(mutex_);
  if (shutDown_) return false;
  queue_.push_back(Message{{}, &call});
  changed_.notify_all();
  // Shutdown removes a queued call from the queue; one already running is waited for.
  changed_.wait(lock, [&] {
    return call.state == BlockingCall::State::Done ||
           (shutDown_ && call.state == BlockingCall::State::Queued);
  });
  return call.state == BlockingCall::State::Done;
}

void QueueLoop::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return;
    queue_.push_back(Message{std::move(fn), nullptr});
  }
  changed_.notify_all();
}

void QueueLoop::SetTickTimer(bool on) {
  {
    std::lock_guard lock(mutex_);
    if (!on) {
      nextTick_.reset();
    } else if (!nextTick_) {
      nextTick_ = std::chrono::steady_clock::now() + tickPeriod_;
    }
  }
  changed_.notify_all();
}

void QueueLoop::SetTickHandler(std::function<void()> onTick) {
  std::lock_guard lock(mutex_);
  onTick_ = std::move(onTick);
}

void QueueLoop::Shutdown() {
  std::deque<Message> dropped;
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    dropped.swap(queue_);
  }
  changed_.notify_all();
  // dropped's functions are destroyed here, outside the lock.
}

}  // namespace kv218

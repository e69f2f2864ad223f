#include "port/receive_thread.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>

namespace kv218 {

// Shared by the thread and its queued message. The message holds it by shared pointer, so a
// message that runs after the ReceiveThread is gone still finds its buffer and the stop flag.
struct ReceiveThread::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  bool stop = false;
  bool ended = false;
  bool handlerPending = false;  // a burst is handed over and the handler has not returned
  Handler handler;
  LostHandler onLost;
  std::array<std::uint8_t, kMaxBurst> burst{};
  std::size_t count = 0;
};

ReceiveThread::ReceiveThread(PortChannel& port, MessageLoop& loop, Handler handler,
                             const BurstEnd* end, LostHandler onLost)
    : port_(port), loop_(loop), end_(end), shared_(std::make_shared<Shared>()) {
  shared_->handler = std::move(handler);
  shared_->onLost = std::move(onLost);
  thread_ = std::thread([this] { Run(); });
}

ReceiveThread::~ReceiveThread() { Stop(); }

void ReceiveThread::Stop() {
  // Only the first Stop of a running thread interrupts the port: by a later one (the
  // destructor after an explicit Stop) the port may already serve the next thread.
  bool interrupt = false;
  {
    std::lock_guard lock(shared_->mutex);
    interrupt = !shared_->stop && !shared_->ended;
    shared_->stop = true;
  }
  shared_->changed.notify_all();
  if (interrupt) port_.InterruptRead();
  if (thread_.joinable()) thread_.join();
}

bool ReceiveThread::Running() const {
  std::lock_guard lock(shared_->mutex);
  return !shared_->ended;
}

std::thread::native_handle_type ReceiveThread::NativeHandle() { return thread_.native_handle(); }

void ReceiveThread::Run() {
  Shared& s = *shared_;
  std::chrono::milliseconds backOff = kFirstBackOff;
  while (true) {
    {
      std::lock_guard lock(s.mutex);
      if (s.stop) break;
    }
    std::size_t count = 0;
    ReadStatus status = port_.ReadBurst(s.burst.data(), s.burst.size(), count, end_);
    if (status == ReadStatus::Interrupted) break;
    if (status == ReadStatus::Lost) {
      // Told once, as a message like a burst's, which a stop that comes first turns into
      // nothing: the owner may be closing this port for reasons of its own.
      loop_.Post([keep = shared_] {
        {
          std::lock_guard lock(keep->mutex);
          if (keep->stop) return;
        }
        if (keep->onLost) keep->onLost();
      });
      break;
    }
    if (status == ReadStatus::Failed) {
      std::unique_lock lock(s.mutex);
      s.changed.wait_for(lock, backOff, [&s] { return s.stop; });
      backOff = std::min(backOff * 2, kLongestBackOff);
      continue;
    }
    backOff = kFirstBackOff;
    if (count == 0) continue;

    {
      std::lock_guard lock(s.mutex);
      if (s.stop) break;
      s.count = count;
      s.handlerPending = true;
    }
    loop_.Post([keep = shared_] {
      Shared& m = *keep;
      {
        std::lock_guard lock(m.mutex);
        if (m.stop) {
          m.handlerPending = false;
          return;
        }
      }
      // The thread waits (without the lock) until handlerPending is cleared or a stop comes,
      // so burst and count stay as they are while the handler reads them.
      m.handler(m.burst.data(), m.count);
      {
        std::lock_guard lock(m.mutex);
        m.handlerPending = false;
      }
      m.changed.notify_all();
    });
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&s] { return !s.handlerPending || s.stop; });
    if (s.stop) break;
  }
  std::lock_guard lock(s.mutex);
  s.ended = true;
}

}  // namespace kv218

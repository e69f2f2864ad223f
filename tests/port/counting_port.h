#pragma once
// A PortChannel that forwards to another and counts what ReadBurst does: how many calls end
// in each status, and how many run at the same time.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "port/port_channel.h"

namespace kv218::testing {

class CountingPort : public PortChannel {
 public:
  explicit CountingPort(PortChannel& inner) : inner_(inner) {}

  bool Open(const std::string& path, const std::string& settings) override {
    return inner_.Open(path, settings);
  }
  void Close() override { inner_.Close(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool Send(const std::uint8_t* data, std::size_t count) override {
    return inner_.Send(data, count);
  }
  void InterruptRead() override { inner_.InterruptRead(); }

  ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                       const BurstEnd* end) override {
    {
      std::lock_guard lock(mutex_);
      mostAtOnce_ = std::max(mostAtOnce_, ++active_);
    }
    ReadStatus status = inner_.ReadBurst(buffer, capacity, count, end);
    {
      std::lock_guard lock(mutex_);
      --active_;
      ++ended_[static_cast<int>(status)];
    }
    changed_.notify_all();
    return status;
  }

  int Ended(ReadStatus status) const {
    std::lock_guard lock(mutex_);
    return ended_[static_cast<int>(status)];
  }
  int Active() const {
    std::lock_guard lock(mutex_);
    return active_;
  }
  int MostAtOnce() const {
    std::lock_guard lock(mutex_);
    return mostAtOnce_;
  }
  // Blocks until at least n calls ended with status (false when the guard ran out).
  bool AwaitEnded(ReadStatus status, int n, std::chrono::seconds guard) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, guard, [&] { return ended_[static_cast<int>(status)] >= n; });
  }

 private:
  PortChannel& inner_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int active_ = 0;
  int mostAtOnce_ = 0;
  int ended_[4] = {};  // by ReadStatus
};

}  // namespace kv218::testing

#pragma once
// A port that passes everything on to another (a real port, the in-process programmer) and
// lets the test see what went through it: the path and line settings last opened, how the
// reads ended and how many ran at once, and, when asked, every burst read and how many of them
// the caller's BurstEnd called whole before the gap. What it sees is kept in a PortWatch that
// the test owns, so it outlives the ports a controller opens and closes; the receive thread
// reads, so the watch is under one mutex.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "port/port_channel.h"

namespace kv218::test {

class PortWatch {
 public:
  // Keep every burst read (the framing tests compare them); off, nothing is kept per burst.
  explicit PortWatch(bool keepBursts = false) : keepBursts_(keepBursts) {}

  std::string OpenedPath() const {
    std::lock_guard lock(mutex_);
    return openedPath_;
  }
  std::string OpenedSettings() const {
    std::lock_guard lock(mutex_);
    return openedSettings_;
  }
  // Reads that ended with status.
  int Ended(ReadStatus status) const {
    std::lock_guard lock(mutex_);
    return ended_[static_cast<int>(status)];
  }
  // Reads running now, and the most that ever ran at the same time.
  int Active() const {
    std::lock_guard lock(mutex_);
    return active_;
  }
  int MostAtOnce() const {
    std::lock_guard lock(mutex_);
    return mostAtOnce_;
  }
  // Blocks until at least n reads ended with status (false when the guard ran out).
  bool AwaitEnded(ReadStatus status, int n, std::chrono::seconds guard) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, guard, [&] { return ended_[static_cast<int>(status)] >= n; });
  }
  std::vector<std::vector<std::uint8_t>> Bursts() const {
    std::lock_guard lock(mutex_);
    return bursts_;
  }
  // Bursts handed over because the caller's BurstEnd called them whole, not at the gap.
  int EndedEarly() const {
    std::lock_guard lock(mutex_);
    return endedEarly_;
  }

 private:
  friend class WatchedPort;
  friend class WholeCounter;

  const bool keepBursts_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string openedPath_, openedSettings_;
  int active_ = 0;
  int mostAtOnce_ = 0;
  int ended_[4] = {};  // by ReadStatus
  std::vector<std::vector<std::uint8_t>> bursts_;
  int endedEarly_ = 0;
};

// The caller's BurstEnd, counting the bursts it calls whole.
class WholeCounter final : public BurstEnd {
 public:
  WholeCounter(const BurstEnd& inner, PortWatch& watch) : inner_(inner), watch_(watch) {}
  BurstSoFar Judge(const std::uint8_t* bytes, std::size_t count) const override {
    const BurstSoFar judged = inner_.Judge(bytes, count);
    if (judged == BurstSoFar::Whole) {
      std::lock_guard lock(watch_.mutex_);
      ++watch_.endedEarly_;
    }
    return judged;
  }

 private:
  const BurstEnd& inner_;
  PortWatch& watch_;
};

class WatchedPort final : public PortChannel {
 public:
  // Over a port the test keeps.
  WatchedPort(PortWatch& watch, PortChannel& inner) : watch_(watch), inner_(inner) {}
  // Over a port of its own (a controller's port factory hands the watched port over).
  WatchedPort(PortWatch& watch, std::unique_ptr<PortChannel> owned)
      : watch_(watch), owned_(std::move(owned)), inner_(*owned_) {}

  bool Open(const std::string& path, const std::string& settings) override {
    {
      std::lock_guard lock(watch_.mutex_);
      watch_.openedPath_ = path;
      watch_.openedSettings_ = settings;
    }
    return inner_.Open(path, settings);
  }
  OpenFailure LastOpenFailure() const override { return inner_.LastOpenFailure(); }
  void Close() override { inner_.Close(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool Send(const std::uint8_t* data, std::size_t count) override {
    return inner_.Send(data, count);
  }
  bool Drain(std::chrono::milliseconds limit) override { return inner_.Drain(limit); }
  void InterruptRead() override { inner_.InterruptRead(); }

  ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                       const BurstEnd* end) override {
    {
      std::lock_guard lock(watch_.mutex_);
      watch_.mostAtOnce_ = std::max(watch_.mostAtOnce_, ++watch_.active_);
    }
    ReadStatus status = ReadStatus::Failed;
    if (end != nullptr) {
      const WholeCounter counter(*end, watch_);
      status = inner_.ReadBurst(buffer, capacity, count, &counter);
    } else {
      status = inner_.ReadBurst(buffer, capacity, count, nullptr);
    }
    {
      std::lock_guard lock(watch_.mutex_);
      --watch_.active_;
      ++watch_.ended_[static_cast<int>(status)];
      if (watch_.keepBursts_ && status == ReadStatus::Burst) {
        watch_.bursts_.emplace_back(buffer, buffer + count);
      }
    }
    watch_.changed_.notify_all();
    return status;
  }

 private:
  PortWatch& watch_;
  std::unique_ptr<PortChannel> owned_;
  PortChannel& inner_;
};

}  // namespace kv218::test

#pragma once
// A serial adapter the test plugs in and pulls out, and the ports opened on it: a port opens
// only while the adapter is in; pulling it makes every port opened before lose its line (a
// blocked read returns Lost at once, later reads too), as a pulled USB adapter's descriptor
// stays dead after the adapter is back. Bursts the test delivers are read by the open port;
// with none delivered a read blocks until it is interrupted, as on a quiet line. The adapter
// remembers the paths opened and the frames sent, for the window tests that only look at those.
// Header-only; the receive thread reads on its own thread, so all state is under one mutex.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "port/port_channel.h"

namespace kv218::test {

class Adapter {
 public:
  void Pull() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    ++pulls_;
    changed_.notify_all();
  }
  void PlugIn() {
    std::lock_guard lock(mutex_);
    plugged_ = true;
  }
  // Whether ports open from now on, the ports already open left as they are (a path with no
  // device behind it, as a typed port name).
  void SetOpens(bool opens) {
    std::lock_guard lock(mutex_);
    plugged_ = opens;
  }
  // Forgets the paths opened and the frames sent, for the next case of a table.
  void Forget() {
    std::lock_guard lock(mutex_);
    openAttempts_ = 0;
    opened_.clear();
    sent_.clear();
  }
  // Bytes from the programmer, read as one burst by the open port.
  void Deliver(std::vector<std::uint8_t> burst) {
    std::lock_guard lock(mutex_);
    bursts_.push_back(std::move(burst));
    changed_.notify_all();
  }
  int OpenAttempts() const {
    std::lock_guard lock(mutex_);
    return openAttempts_;
  }
  // Every path a port was asked to open, in order.
  std::vector<std::string> Opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
  }
  std::vector<std::vector<std::uint8_t>> Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  // The frames sent, one after the other.
  std::vector<std::uint8_t> SentBytes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t> bytes;
    for (const auto& frame : sent_) bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
  }

 private:
  friend class AdapterPort;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool plugged_ = true;
  int pulls_ = 0;  // a port opened before the last pull has lost its line
  int openAttempts_ = 0;
  std::vector<std::string> opened_;
  std::deque<std::vector<std::uint8_t>> bursts_;
  std::vector<std::vector<std::uint8_t>> sent_;
};

class AdapterPort final : public PortChannel {
 public:
  explicit AdapterPort(Adapter& adapter) : adapter_(adapter) {}

  bool Open(const std::string& path, const std::string&) override {
    std::lock_guard lock(adapter_.mutex_);
    ++adapter_.openAttempts_;
    adapter_.opened_.push_back(path);
    if (!adapter_.plugged_) return false;
    open_ = true;
    interrupted_ = false;
    pullsAtOpen_ = adapter_.pulls_;
    return true;
  }
  OpenFailure LastOpenFailure() const override {
    std::lock_guard lock(adapter_.mutex_);
    return open_ ? OpenFailure{} : OpenFailure{OpenError::NoSuchDevice, 0};
  }
  void Close() override {
    std::lock_guard lock(adapter_.mutex_);
    open_ = false;
    interrupted_ = true;
    adapter_.changed_.notify_all();
  }
  bool IsOpen() const override {
    std::lock_guard lock(adapter_.mutex_);
    return open_;
  }
  bool Send(const std::uint8_t* data, std::size_t count) override {
    std::lock_guard lock(adapter_.mutex_);
    if (!open_ || Lost()) return false;
    adapter_.sent_.emplace_back(data, data + count);
    return true;
  }
  ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                       const BurstEnd*) override {
    count = 0;
    std::unique_lock lock(adapter_.mutex_);
    adapter_.changed_.wait(lock,
                           [this] { return interrupted_ || Lost() || !adapter_.bursts_.empty(); });
    if (interrupted_) return ReadStatus::Interrupted;
    if (Lost()) return ReadStatus::Lost;
    const std::vector<std::uint8_t> burst = std::move(adapter_.bursts_.front());
    adapter_.bursts_.pop_front();
    for (; count < burst.size() && count < capacity; ++count) buffer[count] = burst[count];
    return ReadStatus::Burst;
  }
  void InterruptRead() override {
    std::lock_guard lock(adapter_.mutex_);
    interrupted_ = true;
    adapter_.changed_.notify_all();
  }

 private:
  bool Lost() const { return adapter_.pulls_ != pullsAtOpen_; }  // with the mutex held

  Adapter& adapter_;
  bool open_ = false;
  bool interrupted_ = false;
  int pullsAtOpen_ = 0;
};

}  // namespace kv218::test

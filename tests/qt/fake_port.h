#pragma once
// A port for the window tests: opens when told to, records what is sent, delivers no input
// (its reads block until interrupted).

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "port/port_channel.h"

namespace kv218::test {

// What every FakePort of one test shares: the paths opened and the bytes sent.
struct FakeLine {
  bool opens = true;
  std::vector<std::string> opened;
  std::vector<std::uint8_t> sent;
};

class FakePort : public PortChannel {
 public:
  explicit FakePort(FakeLine& line) : line_(line) {}

  bool Open(const std::string& path, const std::string&) override {
    line_.opened.push_back(path);
    const std::lock_guard lock(mutex_);
    open_ = line_.opens;
    interrupted_ = false;
    return open_;
  }
  void Close() override {
    const std::lock_guard lock(mutex_);
    open_ = false;
    interrupted_ = true;
    wake_.notify_all();
  }
  bool IsOpen() const override {
    const std::lock_guard lock(mutex_);
    return open_;
  }
  bool Send(const std::uint8_t* data, std::size_t count) override {
    line_.sent.insert(line_.sent.end(), data, data + count);
    return true;
  }
  ReadStatus ReadBurst(std::uint8_t*, std::size_t, std::size_t& count, const BurstEnd*) override {
    count = 0;
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return interrupted_; });
    return ReadStatus::Interrupted;
  }
  void InterruptRead() override {
    const std::lock_guard lock(mutex_);
    interrupted_ = true;
    wake_.notify_all();
  }

 private:
  FakeLine& line_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool open_ = false;
  bool interrupted_ = false;
};

}  // namespace kv218::test

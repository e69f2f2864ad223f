#pragma once
// A port that counts the bytes it carries, for a transfer rate on the console. It passes
// everything through unchanged; the counters live outside it, so they outlast the port that
// a reopen replaces.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "port/port_channel.h"

namespace kv218 {

struct LineCounters {
  std::atomic<std::uint64_t> sent{0};      // handed to Send (window thread)
  std::atomic<std::uint64_t> received{0};  // read in bursts (receive thread)
  std::uint64_t Total() const { return sent.load() + received.load(); }
};

class MeteredPort final : public PortChannel {
 public:
  MeteredPort(std::unique_ptr<PortChannel> port, LineCounters& counters)
      : port_(std::move(port)), counters_(counters) {}

  bool Open(const std::string& path, const std::string& settings) override {
    return port_->Open(path, settings);
  }
  void Close() override { port_->Close(); }
  bool IsOpen() const override { return port_->IsOpen(); }
  OpenFailure LastOpenFailure() const override { return port_->LastOpenFailure(); }
  bool Send(const std::uint8_t* data, std::size_t count) override {
    const bool started = port_->Send(data, count);
    if (started) counters_.sent += count;
    return started;
  }
  bool Drain(std::chrono::milliseconds limit) override { return port_->Drain(limit); }
  ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                       const BurstEnd* end) override {
    const ReadStatus status = port_->ReadBurst(buffer, capacity, count, end);
    if (status == ReadStatus::Burst) counters_.received += count;
    return status;
  }
  void InterruptRead() override { port_->InterruptRead(); }

 private:
  std::unique_ptr<PortChannel> port_;
  LineCounters& counters_;
};

}  // namespace kv218

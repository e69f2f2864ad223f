#pragma once
// A port that only remembers every frame sent; reads return at once as interrupted.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "port/port_channel.h"

namespace kv218::test {

class RecordingPort final : public PortChannel {
 public:
  bool Open(const std::string&, const std::string&) override { return open = true; }
  void Close() override { open = false; }
  bool IsOpen() const override { return open; }
  bool Send(const std::uint8_t* data, std::size_t count) override {
    sent.emplace_back(data, data + count);
    return true;
  }
  ReadStatus ReadBurst(std::uint8_t*, std::size_t, std::size_t& count, const BurstEnd*) override {
    count = 0;
    return ReadStatus::Interrupted;
  }
  void InterruptRead() override {}

  bool open = true;
  std::vector<std::vector<std::uint8_t>> sent;
};

}  // namespace kv218::test

#pragma once
// A port with no line behind it, for code that sends and never waits for a reply on a thread:
// it remembers every frame sent, and a read ends at once. Its options are the variants the
// tests need: a port that never opens (nor sends), and reads that fail instead of being
// interrupted.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "port/port_channel.h"

namespace kv218::test {

class RecordingPort final : public PortChannel {
 public:
  bool Open(const std::string&, const std::string&) override { return open = opens; }
  void Close() override { open = false; }
  bool IsOpen() const override { return open; }
  bool Send(const std::uint8_t* data, std::size_t count) override {
    if (!opens) return false;
    sent.emplace_back(data, data + count);
    return true;
  }
  ReadStatus ReadBurst(std::uint8_t*, std::size_t, std::size_t& count, const BurstEnd*) override {
    count = 0;
    return readsEnd;
  }
  void InterruptRead() override {}

  // The options, set before use.
  bool opens = true;                              // false: Open and Send fail, as with no device
  ReadStatus readsEnd = ReadStatus::Interrupted;  // or Failed: a line whose reads fail at once

  bool open = true;
  std::vector<std::vector<std::uint8_t>> sent;
};

}  // namespace kv218::test

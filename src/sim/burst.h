#pragma once
// What the simulated programmer sends: bursts of bytes, each after an operation time. The
// transport paces them on the line; the in-process port ignores time and hands them over as
// they are. A fixed ring of slots, allocated once, so replying allocates nothing.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv218::sim {

// The host reads at most 4999 bytes at once; no burst of ours is longer.
inline constexpr std::size_t kBurstCapacity = 4999;

struct Burst {
  // Time the device spends before the burst starts, counted from the end of the previous
  // burst of the same answer, or for the first one from the end of the frame that caused it.
  std::chrono::milliseconds delay{0};
  bool hangUp = false;  // instead of bytes, the device drops the line here
  // A stop in the middle, against the device's own rule (the pause-in-reply fault): the
  // first pauseAfter bytes, then `pause` of silence, then the rest. No stop when pause is 0.
  std::size_t pauseAfter = 0;
  std::chrono::milliseconds pause{0};
  // When a paced transport sends it (the transport's own bookkeeping).
  std::chrono::steady_clock::time_point due{};
  std::size_t size = 0;
  std::array<std::uint8_t, kBurstCapacity> bytes{};

  void Append(std::uint8_t value) {
    if (size < bytes.size()) bytes[size++] = value;
  }
  void Append(const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) Append(data[i]);
  }
};

class BurstQueue {
 public:
  explicit BurstQueue(std::size_t capacity = 64) : slots_(capacity) {}

  bool Empty() const { return count_ == 0; }
  std::size_t Size() const { return count_; }
  std::size_t Capacity() const { return slots_.size(); }
  // Bursts that found the ring full and were lost (a sign of an absurd operation time).
  std::size_t Dropped() const { return dropped_; }

  // A cleared slot at the back, or null when the ring is full.
  Burst* PushBack() {
    if (count_ == slots_.size()) {
      ++dropped_;
      return nullptr;
    }
    Burst& slot = slots_[(head_ + count_) % slots_.size()];
    ++count_;
    slot.delay = std::chrono::milliseconds{0};
    slot.hangUp = false;
    slot.pauseAfter = 0;
    slot.pause = std::chrono::milliseconds{0};
    slot.size = 0;
    return &slot;
  }
  const Burst& Front() const { return slots_[head_]; }
  Burst& Front() { return slots_[head_]; }
  // The i-th burst from the front (i < Size()).
  Burst& At(std::size_t i) { return slots_[(head_ + i) % slots_.size()]; }
  void PopFront() {
    if (count_ == 0) return;
    head_ = (head_ + 1) % slots_.size();
    --count_;
  }

 private:
  std::vector<Burst> slots_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  std::size_t dropped_ = 0;
};

}  // namespace kv218::sim

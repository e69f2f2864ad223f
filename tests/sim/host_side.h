#pragma once
// The host's half of the conversation, written out plainly for the simulator's tests: frames
// built from a memory image the way the host builds them, and read-back data stored back the
// way the host stores it. Kept apart from the host's own code on purpose: the simulator is
// checked against the wire format, not against another implementation of it.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "image/memory_image.h"
#include "sim/device_model.h"

namespace kv218::sim::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes B(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

inline Bytes Cat(Bytes head, const std::uint8_t* data, std::size_t count) {
  head.insert(head.end(), data, data + count);
  return head;
}

inline std::uint8_t Family(int type) { return type == 1 ? '8' : '9'; }

// A deterministic, irregular image: type 0 as words (pad byte 00, high, middle, low) over the
// program window, types 1..3 as plain bytes over their rows.
inline std::unique_ptr<kv218::MemoryImage> PatternImage(int type, std::uint32_t seed = 1) {
  auto image = std::make_unique<kv218::MemoryImage>();
  std::uint32_t state = seed;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(state >> 24);
  };
  const std::size_t rows = type == 0   ? kv218::kProgramRows24
                           : type == 3 ? kv218::kProgramRows1K
                                       : kv218::kProgramRows16;
  for (std::size_t i = 0; i < rows * kv218::kRowBytes; ++i) {
    image->ProgramImage[i] = (type == 0 && i % 4 == 0) ? 0 : next();
  }
  for (auto& config : image->ConfigBytes) config = next();
  return image;
}

// Type-0 program block: 1F 'W' 'D' 'D', then each row's words without their pad bytes.
inline Bytes Type0Block(const kv218::MemoryImage& image, std::size_t firstRow, std::size_t rows) {
  Bytes frame = B({0x1F, 'W', 'D', 'D'});
  for (std::size_t r = firstRow; r < firstRow + rows; ++r) {
    for (std::size_t c = 0; c < kv218::kRowBytes; ++c) {
      if (c % 4 != 0) frame.push_back(image.ProgramImage[r * kv218::kRowBytes + c]);
    }
  }
  return frame;
}

// Types 1 and 2 program block: 1F family 'W' 'D', then 64 rows as they stand.
inline Bytes Block16(int type, const kv218::MemoryImage& image, std::size_t firstRow) {
  return Cat(B({0x1F, Family(type), 'W', 'D'}),
             image.ProgramImage.data() + firstRow * kv218::kRowBytes, 64 * kv218::kRowBytes);
}

inline Bytes FlashWrite(const kv218::MemoryImage& image, std::size_t block) {
  return Cat(B({0x1F, 'F', 'W', 'D'}), image.ProgramImage.data() + block * 4096, 4096);
}

// Type-0 read-back data: groups of three bytes, low byte first, become 00 high middle low.
inline void StoreType0Rows(const Bytes& reply, kv218::MemoryImage& image, std::size_t& row) {
  for (std::size_t p = 4; p < reply.size() && row < kv218::kImageRows; p += 12, ++row) {
    for (std::size_t k = 0; k < 4; ++k) {
      std::uint8_t* group = &image.ProgramImage[row * kv218::kRowBytes + 4 * k];
      group[0] = 0;
      group[1] = reply[p + 3 * k + 2];
      group[2] = reply[p + 3 * k + 1];
      group[3] = reply[p + 3 * k];
    }
  }
}

// Types 1 and 2 read-back data: every byte pair swapped.
inline void StoreRows16(const Bytes& reply, kv218::MemoryImage& image, std::size_t& row) {
  for (std::size_t p = 5; p + 16 <= reply.size(); p += 16, ++row) {
    for (std::size_t m = 0; m < 8; ++m) {
      image.ProgramImage[row * kv218::kRowBytes + 2 * m] = reply[p + 2 * m + 1];
      image.ProgramImage[row * kv218::kRowBytes + 2 * m + 1] = reply[p + 2 * m];
    }
  }
}

inline Bytes Header(const Bytes& reply, std::size_t count) {
  return Bytes(reply.begin(),
               reply.begin() + static_cast<std::ptrdiff_t>(std::min(count, reply.size())));
}

// Feeds frames to a model and collects what it sends, burst by burst.
class Driver {
 public:
  explicit Driver(DeviceOptions options = NoWait()) : model(std::move(options)) {}

  static DeviceOptions NoWait() {
    DeviceOptions options;
    options.eraseTime = std::chrono::milliseconds{0};
    options.programTime = std::chrono::milliseconds{0};
    return options;
  }

  // Everything the model sends after these bytes.
  std::vector<Bytes> Send(const Bytes& bytes) { return Send(bytes.data(), bytes.size()); }
  std::vector<Bytes> Send(const std::uint8_t* data, std::size_t count) {
    std::vector<Bytes> bursts;
    do {
      const std::size_t taken = model.Feed(data, count);
      data += taken;
      count -= taken;
      for (Bytes& burst : Drain()) bursts.push_back(std::move(burst));
    } while (count > 0);
    return bursts;
  }
  std::vector<Bytes> Drain() {
    std::vector<Bytes> bursts;
    for (BurstQueue& output = model.Output(); !output.Empty(); output.PopFront()) {
      const Burst& burst = output.Front();
      bursts.emplace_back(burst.bytes.begin(),
                          burst.bytes.begin() + static_cast<std::ptrdiff_t>(burst.size));
      hangUps += burst.hangUp ? 1 : 0;
    }
    return bursts;
  }
  // The one burst that answers frame (a failure when there is not exactly one).
  Bytes Exchange(const Bytes& frame) {
    std::vector<Bytes> bursts = Send(frame);
    EXPECT_EQ(bursts.size(), 1u) << "frame starting " << std::hex << int(frame.at(1));
    return bursts.empty() ? Bytes() : bursts.front();
  }

  DeviceModel model;
  int hangUps = 0;
};

}  // namespace kv218::sim::test

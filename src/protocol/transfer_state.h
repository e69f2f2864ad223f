#pragma once
// Counters and phases of the block transfers, shared by the frame builders and the
// reply decoding.

#include <cstdint>

namespace kv218 {

inline constexpr std::uint32_t kEraseCounterLimit = 100000;

struct TransferState {
  std::int32_t ReadPhase = 0;  // 0 idle/start, 1 after start reply, 2 data, 3 end, 4 set address
  std::int32_t ReadBlocks = 0;
  std::int32_t ReadRow = 0;
  std::int32_t ReadPage = 0;
  std::int32_t ReadOffset = 0;
  std::int32_t WritePhase = 0;  // 0 next WriteProgram is the start frame, 1 data frames
  std::int32_t WriteBlocks = 0;
  std::int32_t WriteRow = 0;
  std::int32_t FlashBlocks = 0;
  std::uint32_t EraseCounter = 0;
  // Read-back data replies of the current read-back (target or flash) that carried less than
  // a whole block. Such a read-back finishes with its flag at 2: it can never verify.
  std::int32_t ShortBlocks = 0;
};

// counter + step, held at the largest value rather than overflowing: a programmer that keeps
// acknowledging can only ever finish a transfer, never wrap its counters into negative ones.
constexpr std::int32_t CountUp(std::int32_t counter, std::int32_t step = 1) {
  return counter > INT32_MAX - step ? INT32_MAX : counter + step;
}

// Blocks of a type-0 transfer: the low 32 bits of HighestAddress as a signed number,
// divided by 2048 (truncating toward zero), plus 1.
constexpr std::int32_t BlockTotal(std::int64_t highestAddress) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(highestAddress & 0xFFFFFFFF)) / 2048 +
         1;
}

}  // namespace kv218

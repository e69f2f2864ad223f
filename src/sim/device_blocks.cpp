// The block transfers of the simulated programmer: program blocks into the targets, read-back
// blocks out of them and out of its own flash, each in the byte order the host expects.

#include <algorithm>
#include <utility>

#include "sim/device_model.h"

namespace kv218::sim {

void DeviceModel::WriteType0Block(const Frame& frame) {
  // Each row comes as four words of high, middle, low byte (the host leaves its pad bytes out).
  const std::uint8_t* p = frame.Payload();
  const std::size_t rows = frame.PayloadSize() / kType0RowBytes;
  auto& words = memory_.target.words24;
  for (std::size_t r = 0; r < rows; ++r) {
    const std::size_t row = counters_.type0WriteRow + r;
    if (row >= kv218::kProgramRows24) break;
    for (std::size_t k = 0; k < 4; ++k) {
      const std::uint8_t* word = p + r * kType0RowBytes + k * 3;
      words[row * 4 + k] = static_cast<std::uint32_t>(word[0] << 16 | word[1] << 8 | word[2]);
    }
  }
  counters_.type0WriteRow += rows;
  ++counters_.type0WriteBlocks;
}

void DeviceModel::WriteBlock16(const Frame& frame) {
  auto& memory = memory_.target.memory16[static_cast<std::size_t>(frame.targetType - 1)];
  std::size_t& row = counters_.writeRow16[frame.targetType - 1];
  const std::size_t at = row * kv218::kRowBytes;
  const std::uint8_t* p = frame.Payload();
  // The host's rows hold each word with its bytes swapped; the target keeps the low byte first.
  for (std::size_t i = 0; i + 1 < kBlock16Bytes && at + i + 1 < kTarget16Bytes; i += 2) {
    memory[at + i] = p[i + 1];
    memory[at + i + 1] = p[i];
  }
  row += kBlock16Bytes / kv218::kRowBytes;
}

void DeviceModel::ReadType0Block(const Frame& frame) {
  const Reply reply = BeginReply(frame, {});
  // The address counts two units per word; one block is 1,024 words (0x800 units). Each word
  // goes out low byte first; past the program memory the target reads erased.
  const std::size_t first = counters_.type0ReadAddress / 2;
  if (reply.burst != nullptr) {
    for (std::size_t i = 0; i < kType0BlockRows * 4; ++i) {
      const std::size_t index = first + i;
      const std::uint32_t word = index < kType0Words ? memory_.target.words24[index] : kErasedWord;
      reply.burst->Append(static_cast<std::uint8_t>(word));
      reply.burst->Append(static_cast<std::uint8_t>(word >> 8));
      reply.burst->Append(static_cast<std::uint8_t>(word >> 16));
    }
  }
  counters_.type0ReadAddress += 0x800;
  const bool first_block = std::exchange(counters_.readBackStarted[0], false);
  FinishReply(frame, reply, true, first_block && options_.faults.Has(FaultKind::CorruptReadback));
}

void DeviceModel::ReadBlock16(const Frame& frame) {
  const int type = frame.targetType;
  const auto& memory = memory_.target.memory16[static_cast<std::size_t>(type - 1)];
  std::size_t& row = counters_.readRow16[type - 1];
  const Reply reply = BeginReply(frame, {});
  if (reply.burst != nullptr) {
    for (std::size_t r = row; r < row + kBlock16Bytes / kv218::kRowBytes; ++r) {
      // A type-1 target never gives its protected rows back: the programmer reads filler.
      const bool hidden = r >= kv218::kProgramRows16 ||
                          (type == 1 && r >= kProtectedFirstRow && r < kProtectedEndRow);
      for (std::size_t c = 0; c < kv218::kRowBytes; ++c) {
        reply.burst->Append(hidden ? kProtectedFiller : memory[r * kv218::kRowBytes + c]);
      }
    }
  }
  row += kBlock16Bytes / kv218::kRowBytes;
  const bool first_block = std::exchange(counters_.readBackStarted[type], false);
  FinishReply(frame, reply, true, first_block && options_.faults.Has(FaultKind::CorruptReadback));
}

void DeviceModel::ReadFlashBlock(const Frame& frame) {
  // A type-3 image is read in blocks of 64 rows, the others in blocks of 128.
  const std::size_t block = frame.Payload()[0];
  const std::size_t rows = memory_.flash.imageType == 3 ? kv218::kProgramRows1K : 128;
  const std::size_t first = block * rows * kv218::kRowBytes;
  const std::size_t count = rows * kv218::kRowBytes;
  const Reply reply = BeginReply(frame, {});
  if (reply.burst != nullptr) {
    for (std::size_t i = first; i < first + count; ++i) {
      reply.burst->Append(i < kFlashBytes ? memory_.flash.rows[i] : std::uint8_t{0xFF});
    }
  }
  FinishReply(frame, reply, true,
              block == 0 && options_.faults.Has(FaultKind::CorruptFlashReadback));
}

}  // namespace kv218::sim

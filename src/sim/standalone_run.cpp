// A stand-alone programming run: the programmer programs the target from its own flash, as
// when the operator presses its button, and reports each step with a status report
// 1B 53 n [value] as a burst of its own.

#include <algorithm>

#include "sim/device_model.h"

namespace kv218::sim {

namespace {

// The host's reference checksum of a type-0 image: the big-endian 16-bit words of its rows.
std::uint16_t ImageWordSum(const std::vector<std::uint8_t>& rows) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kv218::kProgramRows24 * kv218::kRowBytes; i += 2) {
    sum += static_cast<std::uint32_t>(rows[i] << 8 | rows[i + 1]);
  }
  return static_cast<std::uint16_t>(sum);
}

std::size_t ProgramBlocks(int type) {
  switch (type) {
    case 0:
      return 86;
    case 3:
      return 1;
    default:
      return 32;
  }
}

}  // namespace

void DeviceModel::QueueStatus(std::chrono::milliseconds delay, std::uint8_t code, int valueBytes,
                              std::uint16_t value) {
  Burst* burst = output_.PushBack();
  if (burst == nullptr) return;
  burst->delay = std::min(delay, kLongestOperation);
  burst->Append(0x1B);
  burst->Append('S');
  burst->Append(code);
  if (valueBytes == 2) burst->Append(static_cast<std::uint8_t>(value >> 8));
  if (valueBytes >= 1) burst->Append(static_cast<std::uint8_t>(value));
}

void DeviceModel::ProgramTargetFromFlash() {
  const FlashMemory& flash = memory_.flash;
  TargetMemory& target = memory_.target;
  EraseTarget(target, flash.imageType);
  switch (flash.imageType) {
    case 0:
      for (std::size_t w = 0; w < kType0Words; ++w) {
        const std::uint8_t* group = &flash.rows[w * 4];  // pad, high, middle, low
        target.words24[w] = static_cast<std::uint32_t>(group[1] << 16 | group[2] << 8 | group[3]);
      }
      target.config24 = flash.config;
      break;
    case 1:
    case 2:
    case 3: {
      auto& memory = flash.imageType == 3
                         ? target.memory1K
                         : target.memory16[static_cast<std::size_t>(flash.imageType - 1)];
      for (std::size_t i = 0; i + 1 < memory.size(); i += 2) {
        memory[i] = flash.rows[i + 1];
        memory[i + 1] = flash.rows[i];
      }
      break;
    }
    default:
      break;
  }
}

void DeviceModel::StartStandaloneRun() {
  using std::chrono::milliseconds;
  if (counters_.hungUp) return;
  const FlashMemory& flash = memory_.flash;
  const TargetMemory& target = memory_.target;
  const milliseconds step{100};
  QueueStatus({}, 0, 0, 0);
  const bool ready = flash.holdsImage && flash.imageType >= 0 && flash.imageType <= 3;
  QueueStatus(step, 1, 1, ready ? 1 : 0);
  if (!ready) {
    QueueStatus(step, 6, 0, 0);
    return;
  }

  const int type = flash.imageType;
  ProgramTargetFromFlash();
  const auto programming = options_.eraseTime + options_.programTime * ProgramBlocks(type);
  std::uint16_t written = 0;
  std::uint16_t verified = 0;
  if (type == 0) {
    written = ImageWordSum(flash.rows);
    verified = WordSum24(target.words24.data(), kType0Words);
  } else {
    const auto& memory =
        type == 3 ? target.memory1K : target.memory16[static_cast<std::size_t>(type - 1)];
    written = ByteSum(flash.rows.data(), memory.size());
    verified = ByteSum(memory.data(), memory.size());
  }
  QueueStatus(programming, 2, 2, written);
  QueueStatus(programming / 2 + step, 3, 2, verified);
  bool passed = written == verified;
  if (type == 0) {
    const std::uint16_t configWritten = ByteSum(flash.config.data(), flash.config.size());
    const std::uint16_t configVerified = ByteSum(target.config24.data(), target.config24.size());
    QueueStatus(options_.programTime + step, 4, 2, configWritten);
    QueueStatus(step, 5, 2, configVerified);
    passed = passed && configWritten == configVerified;
  }
  QueueStatus(step, passed ? 7 : 6, 0, 0);
}

}  // namespace kv218::sim

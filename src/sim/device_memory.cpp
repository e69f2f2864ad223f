#include "sim/device_memory.h"

#include <algorithm>

namespace kv218::sim {

void EraseTarget(TargetMemory& target, int targetType) {
  switch (targetType) {
    case 0:
      std::fill(target.words24.begin(), target.words24.end(), kErasedWord);
      target.config24.fill(0xFF);
      break;
    case 1:
    case 2: {
      auto& memory = target.memory16[static_cast<std::size_t>(targetType - 1)];
      std::fill(memory.begin(), memory.end(), std::uint8_t{0xFF});
      break;
    }
    case 3:
      std::fill(target.memory1K.begin(), target.memory1K.end(), std::uint8_t{0xFF});
      break;
    default:
      break;
  }
}

void EraseFlash(FlashMemory& flash, int targetType) {
  std::fill(flash.rows.begin(), flash.rows.end(), std::uint8_t{0xFF});
  flash.config.fill(0xFF);
  flash.imageType = targetType;
  flash.holdsImage = false;
}

std::uint16_t WordSum24(const std::uint32_t* words, std::size_t count) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += (words[i] >> 16) + (words[i] & 0xFFFF);
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t ByteSum(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<std::uint16_t>(sum);
}

}  // namespace kv218::sim

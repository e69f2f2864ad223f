#include "image/checksums.h"

#include <array>

#include "image/target_types.h"

namespace kv218 {

namespace {

constexpr std::size_t kProgramBytes24 = kProgramRows24 * kRowBytes;
constexpr std::array<std::uint8_t, 8> kMask24 = {0xCF, 0xCF, 0x07, 0xA7, 0xC7, 0xDF, 0xE7, 0xE3};

std::uint16_t ByteSum(const MemoryImage& image, std::size_t begin, std::size_t end) {
  std::uint32_t sum = 0;  // 352,256 bytes of FF stay far below 2^32
  for (std::size_t i = begin; i < end; ++i) sum += image.ProgramImage[i];
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t ReadBackSum16(const MemoryImage& image, bool skipType1Rows) {
  std::uint16_t sum = ProgramByteSum16(image);
  if (skipType1Rows) {
    sum = static_cast<std::uint16_t>(
        sum - ByteSum(image, kType1SkippedFirstRow * kRowBytes, kType1SkippedEndRow * kRowBytes));
  }
  const Config16 config = ReadBackConfig16(image);
  for (int k : {0, 1, 2, 3, 5}) sum = static_cast<std::uint16_t>(sum + config.reg[k]);
  return sum;
}

}  // namespace

Config16 ReadBackConfig16(const MemoryImage& image) {
  const auto* copy = &image.ProgramImage[kConfigOffset16];
  return Config16{
      {static_cast<std::uint8_t>(copy[1] & 0xE1), static_cast<std::uint8_t>(copy[0] & 0x04),
       static_cast<std::uint8_t>(copy[3] & 0xC7), static_cast<std::uint8_t>(copy[2] & 0x0F),
       copy[5], static_cast<std::uint8_t>(copy[4] & 0x01)}};
}

std::uint16_t ProgramWordSum24(const MemoryImage& image) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kProgramBytes24; i += 2) {
    sum += static_cast<std::uint32_t>(image.ProgramImage[i]) << 8 | image.ProgramImage[i + 1];
  }
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t ProgramByteSum24(const MemoryImage& image) {
  return ByteSum(image, 0, kProgramBytes24);
}

std::uint16_t ProgramByteSum16(const MemoryImage& image) {
  return ByteSum(image, 0, kConfigOffset16);
}

std::uint16_t WindowByteSum1K(const MemoryImage& image) {
  return ByteSum(image, 0, kProgramRows1K * kRowBytes);
}

std::uint16_t ConfigByteSum(const MemoryImage& image) {
  std::uint32_t sum = 0;
  for (std::uint8_t reg : image.ConfigBytes) sum += reg;
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t ConfigByteSum24(const MemoryImage& image) {
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < 8; ++k) sum += image.ConfigBytes[k];
  return static_cast<std::uint16_t>(sum);
}

std::uint16_t ConfigByteSum16(const MemoryImage& image) {
  const auto& reg = image.ConfigBytes;
  return static_cast<std::uint16_t>(reg[0] + reg[1] + reg[2] + reg[3] + reg[5]);
}

void MaskConfig24(MemoryImage& image) {
  for (std::size_t k = 0; k < kMask24.size(); ++k) image.ConfigBytes[k] &= kMask24[k];
}

void MaskConfig16(MemoryImage& image) {
  auto& reg = image.ConfigBytes;
  reg[0] &= 0xE1;
  reg[1] &= 0x04;
  reg[2] &= 0xC7;
  reg[3] &= 0x0F;
  reg[5] &= 0x01;
}

void CopyConfigToImage16(MemoryImage& image) {
  auto* copy = &image.ProgramImage[kConfigOffset16];
  const auto& reg = image.ConfigBytes;
  copy[0] = reg[1];
  copy[1] = reg[0];
  copy[2] = reg[3];
  copy[3] = reg[2];
  copy[4] = reg[5];
  copy[5] = reg[4];
}

void TakeConfigFromImage16(MemoryImage& image) {
  const Config16 config = ReadBackConfig16(image);
  for (std::size_t k = 0; k < 6; ++k) image.ConfigBytes[k] = config.reg[k];
}

std::uint16_t TargetReadBackSum16(const MemoryImage& image, TargetType targetType) {
  const TargetTypeRow* row = RowOf(targetType);
  const bool type1 = row != nullptr && row->protectedRows;
  const std::uint16_t sum = ReadBackSum16(image, type1);
  return type1 ? static_cast<std::uint16_t>(sum + kType1ReadBackAddend) : sum;
}

std::uint16_t FlashReadBackSum16(const MemoryImage& image) { return ReadBackSum16(image, false); }

}  // namespace kv218

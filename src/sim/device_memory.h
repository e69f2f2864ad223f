#pragma once
// What the simulated programmer remembers: the memory of the target on each of its four
// sockets, and its own flash with the image it programs targets from on its own, the
// configuration bytes and the bulk-erase counter. Plain data, sized once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/memory_image.h"

namespace kv218::sim {

inline constexpr std::size_t kType0Words = kv218::kProgramRows24 * 4;  // 24-bit words
inline constexpr std::uint32_t kErasedWord = 0xFFFFFF;
inline constexpr std::size_t kTarget16Bytes = kv218::kProgramRows16 * kv218::kRowBytes;  // 32 KB
inline constexpr std::size_t kTarget1KBytes = kv218::kProgramRows1K * kv218::kRowBytes;
inline constexpr std::size_t kFlashRows = kv218::kImageRows;  // 22,016 rows of 16 bytes
inline constexpr std::size_t kFlashBytes = kv218::kImageBytes;

// The rows a type-1 target never gives back: the programmer reads filler there instead.
inline constexpr std::size_t kProtectedFirstRow = 1856;  // offset 0x7400
inline constexpr std::size_t kProtectedEndRow = 1984;    // offset 0x7C00, exclusive
inline constexpr std::uint8_t kProtectedFiller = 0xFF;

constexpr std::array<std::uint8_t, kv218::kConfigCount> ErasedConfig() {
  std::array<std::uint8_t, kv218::kConfigCount> config{};
  for (auto& byte : config) byte = 0xFF;
  return config;
}

struct TargetMemory {
  std::vector<std::uint32_t> words24 = std::vector<std::uint32_t>(kType0Words, kErasedWord);
  std::array<std::uint8_t, kv218::kConfigCount> config24 = ErasedConfig();
  // Types 1 and 2, in the target's own byte order (low byte of each word first, as in the
  // HEX file); the host's image holds each pair swapped.
  std::array<std::vector<std::uint8_t>, 2> memory16{
      std::vector<std::uint8_t>(kTarget16Bytes, 0xFF),
      std::vector<std::uint8_t>(kTarget16Bytes, 0xFF)};
  std::vector<std::uint8_t> memory1K = std::vector<std::uint8_t>(kTarget1KBytes, 0xFF);
};

struct FlashMemory {
  std::vector<std::uint8_t> rows = std::vector<std::uint8_t>(kFlashBytes, 0xFF);  // as sent
  std::array<std::uint8_t, kv218::kConfigCount> config = ErasedConfig();
  std::uint32_t EraseCounter = 0;
  std::int32_t imageType = 0;  // target type named by the last FlashErase
  bool holdsImage = false;     // written since the last erase
};

struct DeviceMemory {
  TargetMemory target;
  FlashMemory flash;
};

// Erases what a bulk erase of that target type erases.
void EraseTarget(TargetMemory& target, int targetType);
// Erases the programmer's flash for an image of targetType.
void EraseFlash(FlashMemory& flash, int targetType);

// Checksums the programmer reports in its status reports.
// Type 0: the sum of the big-endian 16-bit words of the image rows (pad byte, high; middle,
// low), which is the host's reference checksum of the same image.
std::uint16_t WordSum24(const std::uint32_t* words, std::size_t count);
std::uint16_t ByteSum(const std::uint8_t* bytes, std::size_t count);

}  // namespace kv218::sim

#pragma once
// The memory images a HEX file is read into, and that the frames are built from.
// One instance per station; plain data, zero at start, touched on the window thread only.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv218 {

inline constexpr std::size_t kRowBytes = 16;
inline constexpr std::size_t kImageRows = 22016;                    // 0x56000 / 16
inline constexpr std::size_t kImageBytes = kImageRows * kRowBytes;  // 352,256
inline constexpr std::size_t kProgramRows24 = 21888;                // type 0 program window
inline constexpr std::size_t kProgramRows16 = 2048;                 // types 1 and 2
inline constexpr std::size_t kProgramRows1K = 64;                   // type 3
inline constexpr std::size_t kConfigCount = 12;

struct MemoryImage {
  std::array<std::uint8_t, kImageBytes> ProgramImage{};
  std::array<std::uint8_t, kConfigCount> ConfigBytes{};
  std::uint16_t ImageChecksum = 0;   // reference the sequences compare read-backs with ("std")
  std::uint16_t ByteChecksum = 0;    // byte sum of image plus configuration
  std::uint16_t ConfigChecksum = 0;  // byte sum of the 12 masked registers (type 0)
  std::uint16_t BiasedDisplay = 0;   // type 1 status-bar value while ChecksumBiasFlag is 0
  std::int64_t HighestAddress = 0;   // type 0: highest start word address of a data record
  std::int32_t ChecksumBiasFlag = 0;
};

}  // namespace kv218

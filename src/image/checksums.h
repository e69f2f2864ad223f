#pragma once
// The 16-bit sums of the memory images (all wrap modulo 65,536), the configuration masks,
// and the sums the programming sequences compare a read-back with.

#include <cstdint>

#include "ground/target_type.h"
#include "image/memory_image.h"

namespace kv218 {

// Added to a type-1 image checksum: always to the status-bar value, and to the reference
// while ChecksumBiasFlag is 1 (a load for target programming).
inline constexpr std::uint16_t kType1Bias = 0x9A26;
// Added to a type-1 target read-back sum, which leaves rows 1,856..1,983 out.
inline constexpr std::uint16_t kType1ReadBackAddend = 443;
inline constexpr std::size_t kType1SkippedFirstRow = 1856;
inline constexpr std::size_t kType1SkippedEndRow = 1984;  // one past the last skipped row
// Offset of the configuration copy in a 16-bit image (registers 1,0,3,2,5,4 from here on).
inline constexpr std::size_t kConfigOffset16 = 0x7FF8;

// Type 0: the big-endian 16-bit words of rows 0..21,887 (the reference and the read-back sum).
std::uint16_t ProgramWordSum24(const MemoryImage& image);
// Type 0: the bytes of rows 0..21,887.
std::uint16_t ProgramByteSum24(const MemoryImage& image);
// Types 1 and 2: the bytes of offsets 0x0000..0x7FF7.
std::uint16_t ProgramByteSum16(const MemoryImage& image);
// Type 3: the bytes of rows 0..63.
std::uint16_t WindowByteSum1K(const MemoryImage& image);
// All twelve configuration registers.
std::uint16_t ConfigByteSum(const MemoryImage& image);
// Type 0: registers 0..7 (the part of the configuration in ByteChecksum).
std::uint16_t ConfigByteSum24(const MemoryImage& image);
// Types 1 and 2: registers 0, 1, 2, 3 and 5.
std::uint16_t ConfigByteSum16(const MemoryImage& image);

// Type 0: registers 0..7 AND CF CF 07 A7 C7 DF E7 E3; registers 8..11 unmasked.
void MaskConfig24(MemoryImage& image);
// Types 1 and 2: register 0 AND E1, 1 AND 04, 2 AND C7, 3 AND 0F, 5 AND 01; 4 unmasked.
void MaskConfig16(MemoryImage& image);
// Types 1 and 2: registers 1,0,3,2,5,4 into offsets 0x7FF8..0x7FFD (each word's bytes swapped).
void CopyConfigToImage16(MemoryImage& image);
// Types 1 and 2: the six registers a read-back image carries in its copy at 0x7FF8 (pairwise
// swapped), masked as by MaskConfig16.
struct Config16 {
  std::uint8_t reg[6];
};
Config16 ReadBackConfig16(const MemoryImage& image);
// Types 1 and 2, after a read-back: registers 0..5 from offsets 0x7FF8..0x7FFD (pairwise
// swapped), then masked as by MaskConfig16. Registers 6..11 keep their values.
void TakeConfigFromImage16(MemoryImage& image);

// Types 1 and 2, target programming: the read-back bytes of offsets 0x0000..0x7FF7 (type 1
// without rows 1,856..1,983), plus registers 0,1,2,3,5 as TakeConfigFromImage16 would take
// them from the image, plus 443 for type 1. Compared with ImageChecksum. Only the image is
// read: call TakeConfigFromImage16 as well to update ConfigBytes.
std::uint16_t TargetReadBackSum16(const MemoryImage& image, TargetType targetType);
// Types 1 and 2, programmer flash: as above with no rows left out and nothing added.
std::uint16_t FlashReadBackSum16(const MemoryImage& image);

}  // namespace kv218

#include "image/record_placement.h"

#include "ground/target_type.h"
#include "image/hex_record.h"
#include "image/target_types.h"

namespace kv218 {

namespace {

// A type-0 configuration record's bytes, read in reverse order, must make a number of at
// most 32 bits: every byte past the fourth must be zero.
bool FitsIn32Bits(const HexRecord& record, std::string& error) {
  for (std::size_t i = 4; i < record.Length; ++i) {
    if (record.Bytes[i] == 0) continue;
    std::string digits;
    for (std::size_t j = record.Length; j-- > 0;) digits.append(record.PairText(j));
    error = NotAValidInteger(digits);
    return false;
  }
  return true;
}

}  // namespace

bool Lands24(const HexRecord& record, std::int64_t extended) {
  if ((extended + record.Address) / 2 < kProgramWords24) return true;
  return extended / 0x10000 == kConfigSegment24 && record.Length > 0 &&
         record.Address / 4 < kConfigCount;
}

bool Lands16(const HexRecord& record, std::int64_t extended) {
  const std::int64_t address = extended + record.Address;
  return address < kConfigAddress16 ||
         (record.Length > 0 &&
          address - kConfigAddress16 < static_cast<std::int64_t>(kConfigCount));
}

bool Lands1K(const HexRecord& record, std::int64_t extended) {
  const std::int64_t address = extended + record.Address;
  return address >= kWindowStart1K && address < kWindowEnd1K;
}

unsigned TypesPlacing(const HexRecord& record, std::int64_t extended) {
  const bool lands[] = {Lands24(record, extended), Lands16(record, extended),
                        Lands1K(record, extended)};
  unsigned types = 0;
  for (const TargetTypeRow& row : kTargetTypes) {
    if (lands[static_cast<int>(row.layout)]) types |= 1u << ItemIndexOf(row.type);
  }
  return types;
}

Placement PlaceRecord24(MemoryImage& image, const HexRecord& record, std::int64_t extended,
                        std::string& error) {
  const std::int64_t address = extended + record.Address;
  const std::int64_t word = address / 2;
  if (word < kProgramWords24) {
    const std::size_t base = static_cast<std::size_t>(word) * 2;
    std::size_t i = 0;
    if (base + record.Length <= kImageBytes) {  // whole groups, nothing to clip
      std::uint8_t* to = image.ProgramImage.data() + base;
      for (; i + 4 <= record.Length; i += 4) {
        to[i] = record.Bytes[i + 3];
        to[i + 1] = record.Bytes[i + 2];
        to[i + 2] = record.Bytes[i + 1];
        to[i + 3] = record.Bytes[i];
      }
    }
    for (; i < record.Length; ++i) {
      const std::size_t offset = base + (i & ~std::size_t{3}) + (3 - (i & 3));
      if (offset < kImageBytes) image.ProgramImage[offset] = record.Bytes[i];
    }
    if (word > image.HighestAddress) image.HighestAddress = word;
    return Placement::Placed;
  }
  if (extended / 0x10000 != kConfigSegment24) return Placement::Ignored;
  if (!FitsIn32Bits(record, error)) return Placement::Failed;
  if (!Lands24(record, extended)) return Placement::Ignored;
  image.ConfigBytes[record.Address / 4] = record.Bytes[0];
  return Placement::Placed;
}

Placement PlaceRecord16(MemoryImage& image, const HexRecord& record, std::int64_t extended) {
  const std::int64_t address = extended + record.Address;
  if (address < kConfigAddress16) {
    for (std::size_t i = 0; i < record.Length; ++i) {
      const std::size_t offset = (static_cast<std::size_t>(address) + i) ^ 1;
      if (offset < kImageBytes) image.ProgramImage[offset] = record.Bytes[i];
    }
    return Placement::Placed;
  }
  if (!Lands16(record, extended)) return Placement::Ignored;
  image.ConfigBytes[static_cast<std::size_t>(address - kConfigAddress16)] = record.Bytes[0];
  return Placement::Placed;
}

Placement PlaceRecord1K(MemoryImage& image, const HexRecord& record, std::int64_t extended) {
  const std::int64_t address = extended + record.Address;
  if (!Lands1K(record, extended)) return Placement::Ignored;
  constexpr std::size_t kWindowBytes = kProgramRows1K * kRowBytes;
  const std::size_t base = static_cast<std::size_t>(address - kWindowStart1K);
  for (std::size_t i = 0; i < record.Length; ++i) {
    const std::size_t offset = base + (i ^ 1);
    if (offset < kWindowBytes) image.ProgramImage[offset] = record.Bytes[i];
  }
  return Placement::Placed;
}

}  // namespace kv218

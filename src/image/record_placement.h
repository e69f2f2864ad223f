#pragma once
// Where a data record of each layout lands in the memory image. The byte address of a
// record is A = extended + O. Nothing is ever written outside ProgramImage or ConfigBytes.

#include <cstdint>
#include <string>

#include "image/hex_record.h"
#include "image/memory_image.h"

namespace kv218 {

inline constexpr std::int64_t kProgramWords24 = 0x2AC00;  // word addresses 0..0x2ABFF
inline constexpr std::int64_t kConfigSegment24 = 0x01F0;  // extended linear address
inline constexpr std::int64_t kConfigAddress16 = 0x7FF8;
inline constexpr std::int64_t kWindowStart1K = 0xFC00;
inline constexpr std::int64_t kWindowEnd1K = 0x10000;

// What became of a data record.
enum class Placement {
  Placed,   // its bytes (or its register) went into the image
  Ignored,  // it lies outside the memory of the layout: nothing was written
  Failed,   // it cannot be read; the load stops
};

// Whether each layout places a data record at extended address E, the rules below without
// writing anything; a record that lands nowhere in the selected layout may fit another.
bool Lands24(const HexRecord& record, std::int64_t extended);
bool Lands16(const HexRecord& record, std::int64_t extended);
bool Lands1K(const HexRecord& record, std::int64_t extended);
// The target types whose layout places the record, one bit per type (bit 1 << item index).
unsigned TypesPlacing(const HexRecord& record, std::int64_t extended);

// Type 0. Program words (word address W = A / 2 below 0x2AC00) go in 4-byte groups, each
// stored reversed (pad, high, middle, low), contiguously from offset 2W; the last group of a
// length that is no multiple of 4 gets only the bytes the record has. HighestAddress follows
// the record starts. In segment 0x01F0, register O / 4 takes the record's first data byte;
// registers above 11 and records elsewhere are ignored. Fails with the message when a
// configuration record's bytes, read in reverse order, make a number above 32 bits.
Placement PlaceRecord24(MemoryImage& image, const HexRecord& record, std::int64_t extended,
                        std::string& error);

// Types 1 and 2. Below 0x7FF8 each byte goes to its address with the two bytes of a word
// swapped (also past 0x7FF8 when the record runs on); at 0x7FF8 + k register k (k <= 11)
// takes the first data byte; records beyond register 11 are ignored.
Placement PlaceRecord16(MemoryImage& image, const HexRecord& record, std::int64_t extended);

// Type 3. Records starting in 0xFC00..0xFFFF go to offset A - 0xFC00 with each pair swapped,
// cut at the end of the 1 KB window; records starting elsewhere are ignored.
Placement PlaceRecord1K(MemoryImage& image, const HexRecord& record, std::int64_t extended);

}  // namespace kv218

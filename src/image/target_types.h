#pragma once
// The target types, each described once: a row per type with everything the loader, the
// frames, the runs and the checks need to know about it. A run reads its row once, at its
// start (RunContext::target); a type that is no selector item has no row, and so no loader,
// no first command and no verification rule. A fifth type is one more row here (and its
// tests).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ground/target_type.h"
#include "image/read_back_difference.h"

namespace kv218 {

// How a type's program memory lies in MemoryImage, and so how it is loaded, blanked, written
// out, summed and moved over the wire.
enum class ImageLayout {
  Words24,   // 24-bit words in 4-byte groups (pad byte first), rows 0..21,887; 12 registers
  Bytes16,   // bytes 0x0000..0x7FFF, the six configuration registers copied in at 0x7FF8
  Window1K,  // the 1 KB window 0xFC00..0xFFFF as rows 0..63
};

struct TargetTypeRow {
  TargetType type;
  std::string_view label;  // the selector's item, and the command line's --type name
  // The family byte of its target frames ('8', '9'), 0 for none; its flash erase frame's own.
  char family;
  char flashEraseFamily;
  ImageLayout layout;
  // Type 1: its checksum carries kType1Bias, and its target never gives back rows
  // 1,856..1,983 (kType1SkippedFirstRow..), for which its read-back sum adds 443.
  bool protectedRows;
  // The target is read and written block by block after ReadDeviceId (types 0..2); false: the
  // programmer programs it on its own from one AutoProgram frame (type 3).
  bool blockTransfers;
  // Rows one read-back data block carries, and blocks each way; 0 blocks: as many as the
  // image's highest address needs (BlockTotal, type 0).
  std::int32_t readBlockRows;
  std::int32_t transferBlocks;
  // The twelve configuration registers are written, read back and verified on their own
  // (type 0); the others carry theirs inside the program memory.
  bool configBits;
  // A verified target is reset (its step numbered after the configuration's, if any).
  bool reset;
  // The hex digits of a target read-back's failed sums: upper case (type 0) or lower case.
  bool upperCaseDigits;
  // What a read-back of the target and of the programmer's flash covers.
  ReadBackSpan targetSpan;
  ReadBackSpan flashSpan;
  // The programmer's flash: the last block number of a store's transfer (the gauge divides
  // by it, so the last acknowledgement shows a little over 100), 0 for a single block; the
  // bytes of one read-back data block.
  std::int32_t flashLastBlock;
  std::int32_t flashReadLastBlock;
  std::size_t flashBlockBytes;
};

inline constexpr std::array<TargetTypeRow, kTargetTypeCount> kTargetTypes = {{
    {TargetType::TkSeries, "TK Series", 0, 0, ImageLayout::Words24, false, true, 256, 0, true, true,
     true, ReadBackSpan::Program24, ReadBackSpan::Program24, 85, 170, 2048},
    {TargetType::MvrxSeries, "MVRx Series", '8', '8', ImageLayout::Bytes16, true, true, 64, 32,
     false, true, false, ReadBackSpan::TargetMvrx, ReadBackSpan::Target16, 8, 16, 2048},
    {TargetType::CradleSet, "Cradle Set", '9', '9', ImageLayout::Bytes16, false, true, 64, 32,
     false, true, false, ReadBackSpan::Target16, ReadBackSpan::Target16, 8, 16, 2048},
    {TargetType::EcoMode, "Eco Mode", 0, 'T', ImageLayout::Window1K, false, false, 0, 0, false,
     false, false, ReadBackSpan::Window1K, ReadBackSpan::Window1K, 0, 0, 1024},
}};

// The row of type; null for a value that is no selector item. (The rows stand in the order of
// the items, see below; the look-ups go by index, so that they stay constant expressions where
// a sanitizer makes a comparison of addresses none.)
constexpr const TargetTypeRow* RowOf(TargetType type) {
  const int index = ItemIndexOf(type);
  return IsTargetTypeItem(index) ? &kTargetTypes[static_cast<std::size_t>(index)] : nullptr;
}

// The selector's label; empty for a value that is no item.
constexpr std::string_view TargetTypeLabel(TargetType type) {
  const int index = ItemIndexOf(type);
  return IsTargetTypeItem(index) ? kTargetTypes[static_cast<std::size_t>(index)].label
                                 : std::string_view{};
}

// The frame builders' family argument for a type's target frames: 0 for family '8' (type 1),
// 1 for '9' (type 2), kNoFamily for the frames without a family byte (types 0 and 3, no item).
inline constexpr int kNoFamily = -1;
constexpr int FamilyOf(TargetType type) {
  const int index = ItemIndexOf(type);
  const char family =
      IsTargetTypeItem(index) ? kTargetTypes[static_cast<std::size_t>(index)].family : 0;
  return family == 0 ? kNoFamily : family - '8';
}

// The type whose block transfers use the frames of family (FamilyOf): the 24-bit words' own
// frames for kNoFamily. A reply names its family in its head, so its block sizes are known
// from the reply itself.
constexpr const TargetTypeRow& RowOfFrames(int family) {
  for (const TargetTypeRow& row : kTargetTypes) {
    if (row.blockTransfers && FamilyOf(row.type) == family) return row;
  }
  return kTargetTypes[0];
}

static_assert(
    [] {
      for (int i = 0; i < kTargetTypeCount; ++i) {
        if (kTargetTypes[static_cast<std::size_t>(i)].type != TargetTypeAt(i)) return false;
      }
      return true;
    }(),
    "the rows stand in the order of the selector's items");

}  // namespace kv218

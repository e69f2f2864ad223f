#pragma once
// Where a read-back differs from the file it is checked against, byte by byte over what the
// verification covers, each byte named by the address it has in the HEX file. The 16-bit sums
// can agree over bytes that differ; this cannot.

#include <cstdint>
#include <optional>
#include <string>

#include "image/memory_image.h"

namespace kv218 {

// What one verification covers, by layout.
enum class ReadBackSpan {
  Program24,   // type 0: rows 0..21,887, pad bytes included (the word sum takes them too)
  Config24,    // type 0: the twelve configuration registers
  Target16,    // type 2 target; types 1 and 2 in the programmer's flash: 0x0000..0x7FF7 and
               // registers 0, 1, 2, 3 and 5 as masked from the copy at 0x7FF8
  TargetMvrx,  // type 1 target: the same without rows 1,856..1,983, which it never gives back
  Window1K,    // type 3 in the programmer's flash: the 1 KB window
};

struct ByteDifference {
  std::int64_t address = 0;  // of the first differing byte, as it stands in the HEX file
  std::uint8_t file = 0;     // that byte as loaded from the file
  std::uint8_t read = 0;     // and as read back
  std::int64_t count = 0;    // bytes that differ over the whole span
};

// The first difference (lowest file address) between the file's image and the read-back,
// with the count of all; nothing when every covered byte agrees.
std::optional<ByteDifference> FirstDifference(const MemoryImage& file, const MemoryImage& read,
                                              ReadBackSpan span);

// "First difference at 0x7FF8: file E1, read C1 (2 bytes differ)".
std::string DifferenceText(const ByteDifference& difference);

}  // namespace kv218

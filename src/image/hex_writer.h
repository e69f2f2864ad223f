#pragma once
// A memory image as Intel HEX text, laid out as the loader of its target type reads it, so
// that loading the text gives the same image and configuration again: sixteen data bytes a
// record (fewer only where the layout stops), an extended linear address record where the
// upper address changes, an end-of-file record; erased rows are left out, since the loader
// blanks them anyway. Lines end in CR LF.

#include <string>

#include "ground/target_type.h"
#include "image/memory_image.h"

namespace kv218 {

// Type 0: the program window (rows 0..21,887) and the twelve configuration registers.
// Types 1 and 2: 0x0000..0x7FF7 and registers 0..5 from the copy at 0x7FF8. Type 3: the 1 KB
// window at 0xFC00. Any other type: the end-of-file record alone.
std::string HexTextOf(const MemoryImage& image, TargetType type);

}  // namespace kv218

#pragma once
// The blank routines: each layout's erased state, written before a load and before a
// read-back from the target or the programmer's flash.

#include "image/memory_image.h"
#include "image/target_types.h"

namespace kv218 {

// Rows 0..21,887 as repeated groups 00 FF FF FF (pad byte, then an erased 24-bit word);
// rows 21,888..22,015 all 00.
void BlankImage24(MemoryImage& image);
// Rows 0..21,887 all FF; the rows above keep their bytes.
void BlankImage16(MemoryImage& image);
// Rows 0..63 (the 1 KB window) all FF; the rows above keep their bytes.
void BlankImage1K(MemoryImage& image);
// The erased state of layout's rows, as one of the three above.
void BlankImage(MemoryImage& image, ImageLayout layout);
// All twelve configuration registers to 0, before a configuration read-back.
void ClearConfigBytes(MemoryImage& image);

}  // namespace kv218

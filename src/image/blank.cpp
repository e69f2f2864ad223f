#include "image/blank.h"

#include <algorithm>

namespace kv218 {

namespace {
constexpr std::size_t kProgramBytes24 = kProgramRows24 * kRowBytes;
}

void BlankImage24(MemoryImage& image) {
  auto& bytes = image.ProgramImage;
  for (std::size_t group = 0; group < kProgramBytes24; group += 4) {
    bytes[group] = 0x00;
    bytes[group + 1] = 0xFF;
    bytes[group + 2] = 0xFF;
    bytes[group + 3] = 0xFF;
  }
  std::fill(bytes.begin() + kProgramBytes24, bytes.end(), std::uint8_t{0x00});
}

void BlankImage16(MemoryImage& image) {
  // All rows of the type-0 window, not only the 2,048 a 16-bit image uses: a flash
  // read-back of a 16-bit image brings back rows up to 2,175.
  std::fill_n(image.ProgramImage.begin(), kProgramBytes24, std::uint8_t{0xFF});
}

void BlankImage1K(MemoryImage& image) {
  std::fill_n(image.ProgramImage.begin(), kProgramRows1K * kRowBytes, std::uint8_t{0xFF});
}

void ClearConfigBytes(MemoryImage& image) { image.ConfigBytes.fill(0); }

void BlankImage(MemoryImage& image, ImageLayout layout) {
  switch (layout) {
    case ImageLayout::Words24:
      BlankImage24(image);
      break;
    case ImageLayout::Bytes16:
      BlankImage16(image);
      break;
    case ImageLayout::Window1K:
      BlankImage1K(image);
      break;
  }
}

}  // namespace kv218

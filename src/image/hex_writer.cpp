#include "image/hex_writer.h"

#include <algorithm>
#include <cstdint>

#include "image/checksums.h"
#include "image/record_placement.h"
#include "image/target_types.h"

namespace kv218 {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";
constexpr std::size_t kRecordBytes = 16;

class HexOut {
 public:
  explicit HexOut(std::string& text) : text_(text) {}

  // A data record at a 32-bit address, preceded by an extended linear address record when
  // its upper half differs from the last one written.
  void Data(std::uint32_t address, const std::uint8_t* bytes, std::size_t count) {
    const std::uint32_t upper = address >> 16;
    if (upper != upper_) {
      const std::uint8_t segment[2] = {static_cast<std::uint8_t>(upper >> 8),
                                       static_cast<std::uint8_t>(upper)};
      Record(0x04, 0, segment, 2);
      upper_ = upper;
    }
    Record(0x00, static_cast<std::uint16_t>(address), bytes, count);
  }
  void End() { Record(0x01, 0, nullptr, 0); }

 private:
  void Byte(std::uint8_t value) {
    text_.push_back(kDigits[value >> 4]);
    text_.push_back(kDigits[value & 0xF]);
    sum_ = static_cast<std::uint8_t>(sum_ + value);
  }
  void Record(std::uint8_t type, std::uint16_t address, const std::uint8_t* bytes,
              std::size_t count) {
    sum_ = 0;
    text_.push_back(':');
    Byte(static_cast<std::uint8_t>(count));
    Byte(static_cast<std::uint8_t>(address >> 8));
    Byte(static_cast<std::uint8_t>(address));
    Byte(type);
    for (std::size_t i = 0; i < count; ++i) Byte(bytes[i]);
    Byte(static_cast<std::uint8_t>(-sum_));
    text_ += "\r\n";
  }

  std::string& text_;
  std::uint32_t upper_ = 0;  // a file starts in the first 64 K
  std::uint8_t sum_ = 0;
};

// The file bytes of addresses 0..end - 1 (each at image offset a ^ flip), from base on, row by
// row; a row whose image bytes are all its layout's erased pattern is left out.
void WriteRows(HexOut& out, const MemoryImage& image, std::size_t end, std::size_t flip,
               std::uint32_t base, bool (*erased)(const std::uint8_t* row, std::size_t n)) {
  std::uint8_t bytes[kRecordBytes];
  for (std::size_t first = 0; first < end; first += kRecordBytes) {
    const std::size_t n = std::min(kRecordBytes, end - first);
    if (erased(image.ProgramImage.data() + first, n)) continue;
    for (std::size_t i = 0; i < n; ++i) bytes[i] = image.ProgramImage[(first + i) ^ flip];
    out.Data(base + static_cast<std::uint32_t>(first), bytes, n);
  }
}

// Type 0: each group is pad 00 and an erased word, FF FF FF.
bool Erased24(const std::uint8_t* row, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (row[i] != (i % 4 == 0 ? 0x00 : 0xFF)) return false;
  }
  return true;
}
bool ErasedFF(const std::uint8_t* row, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (row[i] != 0xFF) return false;
  }
  return true;
}

}  // namespace

std::string HexTextOf(const MemoryImage& image, TargetType type) {
  std::string text;
  HexOut out(text);
  const TargetTypeRow* row = RowOf(type);
  switch (row != nullptr ? row->layout : ImageLayout{-1}) {
    case ImageLayout::Words24: {
      WriteRows(out, image, kProgramRows24 * kRowBytes, 3, 0, Erased24);
      // One record per register, at four times its number: the loader takes its first byte.
      for (std::size_t k = 0; k < kConfigCount; ++k) {
        const std::uint8_t value[4] = {image.ConfigBytes[k], 0, 0, 0};
        out.Data(
            static_cast<std::uint32_t>((kConfigSegment24 << 16) + 4 * static_cast<std::int64_t>(k)),
            value, 4);
      }
      break;
    }
    case ImageLayout::Bytes16:
      WriteRows(out, image, kConfigOffset16, 1, 0, ErasedFF);
      // The registers as the copy holds them, unmasked: the loader copies them back there
      // and masks its own.
      for (std::size_t k = 0; k < 6; ++k) {
        const std::uint8_t value = image.ProgramImage[kConfigOffset16 + (k ^ 1)];
        out.Data(static_cast<std::uint32_t>(kConfigAddress16 + static_cast<std::int64_t>(k)),
                 &value, 1);
      }
      break;
    case ImageLayout::Window1K:
      WriteRows(out, image, kProgramRows1K * kRowBytes, 1, kWindowStart1K, ErasedFF);
      break;
    default:
      break;
  }
  out.End();
  return text;
}

}  // namespace kv218

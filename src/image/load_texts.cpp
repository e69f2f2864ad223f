#include "image/load_texts.h"

#include "ground/text.h"

namespace kv218 {

namespace {
std::string RangeText(const MemoryImage& image) {
  return " OK ( 0x0 - 0x" + Hex(static_cast<std::uint64_t>(image.HighestAddress), 6);
}
}  // namespace

std::string PanelChecksumText(std::uint16_t checksum) { return Hex(checksum, 4); }

std::string LoadResultText24(const MemoryImage& image) {
  return RangeText(image) + " , 0x" + Hex(image.ImageChecksum, 4) + " , 0x" +
         Hex(image.ConfigChecksum, 4) + " , 0x" + HexLower(image.ByteChecksum, 4) + " )";
}

std::string LoadResultText16(const MemoryImage& image, std::uint16_t byteChecksum) {
  return RangeText(image) + " , 0x" + HexLower(byteChecksum, 4) + " )";
}

}  // namespace kv218

#pragma once
// What a load shows: the checksum in status panel 4 and the result that completes the
// "Loading ..." line.

#include <cstdint>
#include <string>
#include <string_view>

#include "image/memory_image.h"

namespace kv218 {

inline constexpr int kChecksumPanel = 4;
inline constexpr std::string_view kLoadingLine = "Loading ...";

// Four upper-case hexadecimal digits.
std::string PanelChecksumText(std::uint16_t checksum);
// Type 0: " OK ( 0x0 - 0x<HighestAddress> , 0x<ImageChecksum> , 0x<ConfigChecksum> ,
// 0x<ByteChecksum in lower case> )".
std::string LoadResultText24(const MemoryImage& image);
// Types 1 and 2: " OK ( 0x0 - 0x<HighestAddress> , 0x<byteChecksum in lower case> )".
std::string LoadResultText16(const MemoryImage& image, std::uint16_t byteChecksum);
// Type 3.
inline constexpr std::string_view kLoadResultText1K = " OK ";

}  // namespace kv218

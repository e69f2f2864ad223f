#pragma once
// Helpers for the loader tests: HEX lines with correct checksums, files in a private temp
// folder (TempFolder), and a message loop that counts how often the loader let the window
// breathe (ImmediateLoop).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ground/text.h"
#include "testkit/immediate_loop.h"
#include "testkit/temp_folder.h"

namespace kv218::testing {

// ":LLAAAATT<data><checksum>" with the checksum the record should carry.
inline std::string HexLine(std::uint8_t type, std::uint16_t address,
                           const std::vector<std::uint8_t>& data) {
  unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
  std::string line = ":" + Hex(data.size(), 2) + Hex(address, 4) + Hex(type, 2);
  for (std::uint8_t byte : data) {
    line += Hex(byte, 2);
    sum += byte;
  }
  return line + Hex((0x100 - (sum & 0xFF)) & 0xFF, 2);
}
inline std::string DataLine(std::uint16_t address, const std::vector<std::uint8_t>& data) {
  return HexLine(0, address, data);
}
inline std::string LinearLine(std::uint16_t segment) {
  return HexLine(
      4, 0, {static_cast<std::uint8_t>(segment >> 8), static_cast<std::uint8_t>(segment & 0xFF)});
}
inline const std::string kEndLine = ":00000001FF";

}  // namespace kv218::testing

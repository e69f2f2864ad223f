#pragma once
// One line of an Intel HEX file taken apart: ":LLAAAATT" then hexadecimal pairs (the data
// bytes, then the record's checksum byte).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv218 {

inline constexpr std::uint8_t kRecordData = 0;
inline constexpr std::uint8_t kRecordEnd = 1;
inline constexpr std::uint8_t kRecordSegment = 2;
inline constexpr std::uint8_t kRecordLinear = 4;

struct HexRecord {
  std::uint8_t Length = 0;    // L, the number of data bytes (0..255)
  std::uint32_t Address = 0;  // O, the record's 16-bit address
  std::uint8_t Type = 0;      // T
  // The L data bytes, then the checksum byte when the line holds it. Pairs past these are
  // checked for hexadecimal digits but not kept.
  std::array<std::uint8_t, 256> Bytes{};
  std::size_t PairCount = 0;  // pairs on the line, kept or not
  std::string_view Line;      // the line the record came from (valid while the file text is)

  bool HasChecksum() const { return PairCount > Length; }
  // The text of data pair i as the line spells it (upper or lower case).
  std::string_view PairText(std::size_t i) const { return Line.substr(9 + 2 * i, 2); }
};

enum class LineKind {
  NotARecord,  // the line does not start with ':' and is skipped
  Record,
  Error,  // a field or pair is not hexadecimal, or the line ends before its L data bytes
};

// Takes a line apart into record. On Error, error holds the message.
LineKind ParseHexLine(std::string_view line, HexRecord& record, std::string& error);

// The checksum byte the record should carry: the two's complement of the sum of its length,
// address, type and data bytes.
std::uint8_t ExpectedChecksum(const HexRecord& record);

// The message of a text that does not convert: "'0x<digits>' is not a valid integer value".
std::string NotAValidInteger(std::string_view digits);

}  // namespace kv218

#include "image/hex_record.h"

#include <algorithm>
#include <array>
#include <optional>

#include "ground/shown_text.h"

namespace kv218 {

namespace {

// The value of every character as a hexadecimal digit, -1 where it is none: one look-up per
// character instead of three range tests.
constexpr std::array<std::int8_t, 256> kDigitValues = [] {
  std::array<std::int8_t, 256> values{};
  values.fill(-1);
  for (int i = 0; i < 10; ++i)
    values[static_cast<std::size_t>('0' + i)] = static_cast<std::int8_t>(i);
  for (int i = 0; i < 6; ++i) {
    values[static_cast<std::size_t>('A' + i)] = static_cast<std::int8_t>(10 + i);
    values[static_cast<std::size_t>('a' + i)] = static_cast<std::int8_t>(10 + i);
  }
  return values;
}();

int HexDigitValue(char c) { return kDigitValues[static_cast<unsigned char>(c)]; }

// The value of a hexadecimal field; nothing when it is empty or holds another character.
std::optional<std::uint32_t> HexValue(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// The header field at 0-based position pos and width n; a line that ends early gives the
// characters it has (possibly none).
std::string_view Field(std::string_view line, std::size_t pos, std::size_t n) {
  return pos < line.size() ? line.substr(pos, n) : std::string_view{};
}

constexpr std::size_t kFirstPair = 9;

// The byte a pair of hexadecimal digits spells; negative when either is no digit.
int PairValue(const unsigned char* pair) {
  return kDigitValues[pair[0]] * 16 | kDigitValues[pair[1]];
}

// The header field by field, as far as the line has it (a line cut short in T may still
// convert); false with the message naming the first field that is empty or holds another
// character.
bool HeaderByFields(std::string_view line, HexRecord& record, std::string& error) {
  struct HeaderField {
    std::size_t pos, width;
  };
  constexpr HeaderField kFields[] = {{1, 2}, {3, 4}, {7, 2}};  // L, O, T
  std::uint32_t values[3] = {};
  for (std::size_t f = 0; f < 3; ++f) {
    const std::string_view text = Field(line, kFields[f].pos, kFields[f].width);
    const auto value = HexValue(text);
    if (!value) {
      error = NotAValidInteger(text);
      return false;
    }
    values[f] = *value;
  }
  record.Length = static_cast<std::uint8_t>(values[0]);
  record.Address = values[1];
  record.Type = static_cast<std::uint8_t>(values[2]);
  return true;
}

}  // namespace

std::string NotAValidInteger(std::string_view digits) {
  // The digits come from the file: a control character in them is shown, not sent on.
  std::string message = "'0x";
  AppendShownText(message, digits);
  message.append("' is not a valid integer value");
  return message;
}

LineKind ParseHexLine(std::string_view line, HexRecord& record, std::string& error) {
  if (line.empty() || line.front() != ':') return LineKind::NotARecord;
  record.Line = line;
  const auto* text = reinterpret_cast<const unsigned char*>(line.data());

  // A whole header converts in one go; any other is taken field by field.
  const int length = line.size() >= kFirstPair ? PairValue(text + 1) : -1;
  const int high = length >= 0 ? PairValue(text + 3) : -1;
  const int low = high >= 0 ? PairValue(text + 5) : -1;
  const int type = low >= 0 ? PairValue(text + 7) : -1;
  if (type >= 0) {
    record.Length = static_cast<std::uint8_t>(length);
    record.Address = static_cast<std::uint32_t>(high << 8 | low);
    record.Type = static_cast<std::uint8_t>(type);
  } else if (!HeaderByFields(line, record, error)) {
    return LineKind::Error;
  }

  // Every pair on the line must convert, also those past the checksum byte (two trailing
  // blanks make a pair that does not); only the first 256 are kept.
  const std::size_t count = line.size() > kFirstPair ? (line.size() - kFirstPair) / 2 : 0;
  const unsigned char* pairs = text + kFirstPair;
  const std::size_t kept = std::min(count, record.Bytes.size());
  for (std::size_t i = 0; i < count; ++i) {
    const int value = PairValue(pairs + 2 * i);
    if (value < 0) {
      error = NotAValidInteger(line.substr(kFirstPair + 2 * i, 2));
      return LineKind::Error;
    }
    if (i < kept) record.Bytes[i] = static_cast<std::uint8_t>(value);
  }
  record.PairCount = count;

  // A line that ends before its L data bytes would leave stale bytes in the record: refuse
  // it, naming the missing (empty or half) pair.
  if (count < record.Length) {
    error = NotAValidInteger(Field(line, kFirstPair + 2 * count, 2));
    return LineKind::Error;
  }
  return LineKind::Record;
}

std::uint8_t ExpectedChecksum(const HexRecord& record) {
  unsigned sum = record.Length + (record.Address >> 8) + (record.Address & 0xFF) + record.Type;
  for (std::size_t i = 0; i < record.Length; ++i) sum += record.Bytes[i];
  return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

}  // namespace kv218

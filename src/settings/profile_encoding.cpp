#include "settings/profile_encoding.h"

#include <cstdint>

#include "ground/utf8.h"

namespace kv218 {

namespace {

bool BigEndian(ProfileEncoding encoding) { return encoding == ProfileEncoding::Utf16Be; }

std::uint16_t UnitAt(std::string_view bytes, std::size_t at, ProfileEncoding encoding) {
  const auto first = static_cast<std::uint8_t>(bytes[at]);
  const auto second = static_cast<std::uint8_t>(bytes[at + 1]);
  return BigEndian(encoding) ? static_cast<std::uint16_t>(first << 8 | second)
                             : static_cast<std::uint16_t>(second << 8 | first);
}

void AppendUnit(std::string& out, std::uint16_t unit, ProfileEncoding encoding) {
  const char high = static_cast<char>(unit >> 8);
  const char low = static_cast<char>(unit & 0xFF);
  out += BigEndian(encoding) ? high : low;
  out += BigEndian(encoding) ? low : high;
}

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

DecodedProfile DecodeProfile(std::string_view bytes) {
  DecodedProfile decoded;
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    decoded.encoding = ProfileEncoding::Utf16Le;
  } else if (bytes.substr(0, 2) == "\xFE\xFF") {
    decoded.encoding = ProfileEncoding::Utf16Be;
  } else {
    decoded.text = bytes;
    return decoded;
  }
  const std::size_t end = bytes.size() - bytes.size() % 2;
  decoded.tail = bytes.substr(end);
  decoded.text.reserve(end);
  for (std::size_t at = 2; at < end; at += 2) {
    std::uint32_t unit = UnitAt(bytes, at, decoded.encoding);
    if (IsHighSurrogate(unit) && at + 2 < end) {
      const std::uint32_t next = UnitAt(bytes, at + 2, decoded.encoding);
      if (IsLowSurrogate(next)) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
        at += 2;
      }
    }
    AppendUtf8(decoded.text, unit);
  }
  return decoded;
}

std::string EncodeProfile(std::string_view text, ProfileEncoding encoding, std::string_view tail) {
  if (encoding == ProfileEncoding::Bytes) return std::string(text) + std::string(tail);
  std::string bytes;
  bytes.reserve(2 + text.size() * 2 + tail.size());
  AppendUnit(bytes, 0xFEFF, encoding);
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    // Unpaired surrogates were kept in their three-byte forms: they go out as they came.
    std::size_t length = Utf8Sequence(text, at, code, Surrogates::Kept);
    if (length == 0) {
      code = static_cast<std::uint8_t>(text[at]);
      length = 1;
    }
    at += length;
    if (code >= 0x10000) {
      AppendUnit(bytes, static_cast<std::uint16_t>(0xD800 + ((code - 0x10000) >> 10)), encoding);
      AppendUnit(bytes, static_cast<std::uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)), encoding);
    } else {
      AppendUnit(bytes, static_cast<std::uint16_t>(code), encoding);
    }
  }
  return bytes + std::string(tail);
}

}  // namespace kv218

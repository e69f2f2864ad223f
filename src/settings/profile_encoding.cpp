#include "settings/profile_encoding.h"

#include <cstdint>

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

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point of the UTF-8 sequence at text[at] and its length; length 0 when the bytes
// there are no well-formed sequence (surrogates in their three-byte form count as formed).
std::uint32_t NextCodePoint(std::string_view text, std::size_t at, std::size_t& length) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  length = 0;
  std::size_t count = 0;
  std::uint32_t code = 0;
  std::uint32_t least = 0;
  if (lead < 0x80) {
    length = 1;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    count = 2, code = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    count = 3, code = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    count = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (at + count > text.size()) return 0;
  for (std::size_t i = 1; i < count; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3F);
  }
  if (code < least || code > 0x10FFFF) return 0;
  length = count;
  return code;
}

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
    std::size_t length = 0;
    std::uint32_t code = NextCodePoint(text, at, length);
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

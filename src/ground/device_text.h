#pragma once
// Text the programmer sends (its information note) as a log line. Its bytes reach a terminal
// and the window as they are, so a control character must not: it would clear the screen,
// retitle the window or move the cursor. Each one is shown as \xHH instead. Header-only seam.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kv218 {

namespace detail {

inline void AppendEscaped(std::string& line, const std::uint8_t* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < count; ++i) {
    line += "\\x";
    line.push_back(kDigits[bytes[i] >> 4]);
    line.push_back(kDigits[bytes[i] & 0xF]);
  }
}

// Length of the well-formed UTF-8 sequence at bytes[0] (at most count bytes), 0 when there is
// none; code gets its code point.
inline std::size_t Utf8Sequence(const std::uint8_t* bytes, std::size_t count, char32_t& code) {
  const std::uint8_t lead = bytes[0];
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (length > count) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((bytes[k] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (bytes[k] & 0x3Fu);
  }
  const char32_t shortest = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0x80;
  if (code < shortest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace detail

// Appends count bytes of the programmer's text to line. A zero byte adds nothing; a tab and
// every printable byte are kept as they are (UTF-8 or 8-bit text alike); the controls
// 0x01..0x1F, 0x7F and 0x80..0x9F (also when they come UTF-8 encoded) become \xHH per byte.
inline void AppendDeviceText(std::string& line, const std::uint8_t* bytes, std::size_t count) {
  std::size_t i = 0;
  while (i < count) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      if (b == 0) {
        // adds nothing
      } else if (b == '\t' || (b >= 0x20 && b != 0x7F)) {
        line.push_back(static_cast<char>(b));
      } else {
        detail::AppendEscaped(line, bytes + i, 1);
      }
      ++i;
      continue;
    }
    char32_t code = 0;
    std::size_t length = detail::Utf8Sequence(bytes + i, count - i, code);
    if (length == 0) {
      length = 1;  // not UTF-8: one 8-bit character
      code = b;
    }
    if (code >= 0x80 && code <= 0x9F) {
      detail::AppendEscaped(line, bytes + i, length);
    } else {
      line.append(reinterpret_cast<const char*>(bytes + i), length);
    }
    i += length;
  }
}

}  // namespace kv218

#pragma once
// Text the programmer sends (its information note) as a log line. Its bytes reach a terminal
// and the window as they are, so a control character must not: it would clear the screen,
// retitle the window or move the cursor. Each one is shown as \xHH instead. Header-only seam.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ground/utf8.h"

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
    std::size_t length = Utf8Sequence(bytes + i, count - i, code);
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

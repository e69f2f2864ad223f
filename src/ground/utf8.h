#pragma once
// UTF-8 as every part of the program reads it: well-formed sequences only (no overlong
// forms, no surrogates, nothing past U+10FFFF). Header-only seam.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv218 {

// Length of the well-formed UTF-8 sequence at bytes[0] (at most count bytes, count > 0), 0
// when there is none; code gets its code point.
inline std::size_t Utf8Sequence(const std::uint8_t* bytes, std::size_t count, char32_t& code) {
  const std::uint8_t lead = bytes[0];
  std::size_t length = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
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

// text with each byte that is not part of a well-formed sequence replaced by U+FFFD (a file
// name in another encoding), so that it can go where only UTF-8 may.
inline std::string ValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  std::string valid;
  valid.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    const std::size_t length = Utf8Sequence(bytes + i, text.size() - i, code);
    if (length == 0) {
      valid.append("\xEF\xBF\xBD");
      ++i;
    } else {
      valid.append(text.substr(i, length));
      i += length;
    }
  }
  return valid;
}

}  // namespace kv218

#pragma once
// UTF-8 as every part of the program reads and writes it: well-formed sequences only (no
// overlong forms, nothing past U+10FFFF, and no surrogates unless asked for), a check of a
// whole text, a text made valid, a code point written out; and on Windows the conversions
// to and from the UTF-16 of the "W" calls. Header-only but for those (utf8_win32.cpp).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv218 {

// Whether the three-byte forms of U+D800..U+DFFF count as well-formed. UTF-8 refuses them;
// the settings file's UTF-16, which may hold unpaired surrogates, keeps them so inside.
enum class Surrogates { Refused, Kept };

// Length of the well-formed UTF-8 sequence at bytes[0] (at most count bytes, count > 0), 0
// when there is none; code gets its code point.
inline std::size_t Utf8Sequence(const std::uint8_t* bytes, std::size_t count, char32_t& code,
                                Surrogates surrogates = Surrogates::Refused) {
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
  if (code < shortest || code > 0x10FFFF) return 0;
  if (surrogates == Surrogates::Refused && code >= 0xD800 && code <= 0xDFFF) return 0;
  return length;
}

// The same at text[at].
inline std::size_t Utf8Sequence(std::string_view text, std::size_t at, char32_t& code,
                                Surrogates surrogates = Surrogates::Refused) {
  return Utf8Sequence(reinterpret_cast<const std::uint8_t*>(text.data()) + at, text.size() - at,
                      code, surrogates);
}

// Whether text is well-formed UTF-8 throughout.
inline bool IsUtf8(std::string_view text) {
  char32_t code = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Sequence(text, i, code);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// Appends code (at most U+10FFFF) to out in UTF-8; a surrogate in its three-byte form.
inline void AppendUtf8(std::string& out, char32_t code) {
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

#ifdef _WIN32
// UTF-8 to the UTF-16 of the "W" calls (paths, names, texts); a byte that is not UTF-8 becomes
// U+FFFD, as MultiByteToWideChar makes it.
std::wstring WideFromUtf8(std::string_view utf8);
// The UTF-16 a "W" call gave, as UTF-8.
std::string Utf8FromWide(std::wstring_view wide);
#endif

}  // namespace kv218

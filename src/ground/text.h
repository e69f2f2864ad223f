#pragma once
// The text helpers every log line uses. Header-only seam, like WindowOps.

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "ground/platform.h"

namespace kv218 {

namespace detail {
inline std::string HexDigits(std::uint64_t value, int digits, const char* alphabet) {
  std::array<char, 16> reversed{};
  int n = 0;
  do {
    reversed[static_cast<std::size_t>(n++)] = alphabet[value & 0xF];
    value >>= 4;
  } while (value != 0);
  std::string out;
  for (int pad = digits - n; pad > 0; --pad) out.push_back('0');
  while (n > 0) out.push_back(reversed[static_cast<std::size_t>(--n)]);
  return out;
}
}  // namespace detail

// hex(v, d): v in upper-case hexadecimal, zero-padded to at least d digits, no prefix.
inline std::string Hex(std::uint64_t value, int digits) {
  return detail::HexDigits(value, digits, "0123456789ABCDEF");
}
// The same in lower-case digits.
inline std::string HexLower(std::uint64_t value, int digits) {
  return detail::HexDigits(value, digits, "0123456789abcdef");
}

// The user's locale: the short date, one blank, the long time; the date alone at exactly
// midnight (LocalTimeStampText).
inline std::string TimeStampText(std::time_t when) { return LocalTimeStampText(when); }
inline std::string TimeStampText() { return TimeStampText(std::time(nullptr)); }

}  // namespace kv218

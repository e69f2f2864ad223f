#pragma once
// The text helpers every log line uses. Header-only seam, like WindowOps.

#include <cstdint>
#include <ctime>
#include <string>

namespace kv218 {

// hex(v, d): v in upper-case hexadecimal, zero-padded to at least d digits, no prefix.
std::string Hex(std::uint64_t value, int digits);
// The same in lower-case digits.
std::string HexLower(std::uint64_t value, int digits);
// The user's locale: the short date, one blank, the long time; the date alone at exactly
// midnight.
std::string TimeStampText();
std::string TimeStampText(std::time_t when);

}  // namespace kv218

#pragma once
// Splitting a text into lines the way the HEX loader counts them: a line ends at CR LF, LF or
// CR, and a terminator at the very end does not start another line.

#include <cstddef>
#include <string_view>

namespace kv218 {

// The line that starts at pos; pos moves past its terminator.
inline std::string_view NextLine(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  const std::size_t end = text.find_first_of("\r\n", start);
  if (end == std::string_view::npos) {
    pos = text.size();
    return text.substr(start);
  }
  pos = end + 1;
  if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  return text.substr(start, end - start);
}

inline std::size_t CountLines(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); ++count) NextLine(text, pos);
  return count;
}

}  // namespace kv218

#pragma once
// Splitting a text into lines the way the HEX loader counts them: a line ends at CR LF, LF or
// CR, and a terminator at the very end does not start another line. Line ends are searched
// with memchr, which takes a whole machine word (or vector) at a time.

#include <cstddef>
#include <cstring>
#include <string_view>

namespace kv218 {

namespace detail {
inline const char* Find(const char* from, const char* to, char c) {
  const void* at = std::memchr(from, c, static_cast<std::size_t>(to - from));
  return at == nullptr ? to : static_cast<const char*>(at);
}
}  // namespace detail

// The line that starts at pos; pos moves past its terminator.
inline std::string_view NextLine(std::string_view text, std::size_t& pos) {
  const char* start = text.data() + pos;
  const char* end = text.data() + text.size();
  const char* lineFeed = detail::Find(start, end, '\n');
  const char* stop = detail::Find(start, lineFeed, '\r');  // a CR before the LF ends it there
  const std::size_t length = static_cast<std::size_t>(stop - start);
  pos += length;
  if (stop != end) {
    ++pos;
    if (*stop == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
  return text.substr(static_cast<std::size_t>(start - text.data()), length);
}

inline std::size_t CountLines(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  std::size_t count = 0;
  while (p < end) {
    const char* lineFeed = detail::Find(p, end, '\n');
    // Lone CRs on the way each end a line of their own.
    for (const char* cr = detail::Find(p, lineFeed, '\r'); cr != lineFeed;
         cr = detail::Find(cr + 1, lineFeed, '\r')) {
      if (cr + 1 != lineFeed) ++count;
    }
    ++count;
    p = lineFeed == end ? end : lineFeed + 1;
  }
  return count;
}

}  // namespace kv218

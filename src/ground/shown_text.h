#pragma once
// Text from outside (a file's name or line, a path, the programmer's note) as a log or error
// line shows it. Header-only seam.

#include <cstddef>
#include <string>
#include <string_view>

#include "ground/utf8.h"

namespace kv218 {

namespace detail {
inline void AppendEscapedBytes(std::string& line, const char* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    line += "\\x";
    line.push_back(kDigits[byte >> 4]);
    line.push_back(kDigits[byte & 0xF]);
  }
}
}  // namespace detail

// What a zero byte in text from outside becomes: the programmer pads its notes with them, and
// they are dropped; in a file's name or line one is shown like any other control.
enum class ZeroBytes { Dropped, Shown };

// Appends text from outside (the programmer's note, a file's name, a line of a file) to a log
// or error line as the terminal and the window may show it: well-formed UTF-8 and the tab are
// kept; the controls 0x01..0x1F, 0x7F and 0x80..0x9F (also UTF-8 encoded) and every byte that
// is no part of well-formed UTF-8 become \xHH, one per byte. So no such text can clear a
// screen, retitle a window or start a line of its own ("PROGRAMMING SUCCEEDED." in a name).
inline void AppendShownText(std::string& line, std::string_view text,
                            ZeroBytes zero = ZeroBytes::Shown) {
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t code = 0;
    std::size_t length = Utf8Sequence(text, i, code);
    const bool shown =
        length > 0 &&
        (code == '\t' || (code >= 0x20 && code != 0x7F && (code < 0x80 || code > 0x9F)));
    if (length == 0) length = 1;  // not UTF-8: that byte alone
    if (text[i] == '\0' && zero == ZeroBytes::Dropped) {
      // adds nothing
    } else if (shown) {
      line.append(text.substr(i, length));
    } else {
      detail::AppendEscapedBytes(line, text.data() + i, length);
    }
    i += length;
  }
}

// The same as a text of its own.
inline std::string ShownText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  AppendShownText(shown, text);
  return shown;
}

}  // namespace kv218

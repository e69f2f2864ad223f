#pragma once
// Text the programmer sends (its information note) as a log line. Its bytes reach a terminal
// and the window, so a control character must not: it would clear the screen, retitle the
// window or move the cursor; nor may a byte that is no UTF-8. Each such byte is shown as \xHH
// instead (AppendShownText). Header-only seam.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ground/shown_text.h"

namespace kv218 {

// Appends count bytes of the programmer's text to line. A zero byte adds nothing; a tab and
// well-formed UTF-8 are kept as they are; the controls 0x01..0x1F, 0x7F and 0x80..0x9F (also
// when they come UTF-8 encoded) and bytes that are no UTF-8 become \xHH per byte.
inline void AppendDeviceText(std::string& line, const std::uint8_t* bytes, std::size_t count) {
  AppendShownText(line, std::string_view(reinterpret_cast<const char*>(bytes), count),
                  ZeroBytes::Dropped);
}

}  // namespace kv218

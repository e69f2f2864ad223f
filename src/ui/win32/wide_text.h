#pragma once
// Text for the window's controls: the core's UTF-8 in the UTF-16 of the Win32 "W" calls
// (ground/utf8.h converts; this adds what only the window needs).

#include <string>
#include <string_view>

namespace kv218 {

// UTF-8 to UTF-16; a text that is not UTF-8 throughout is taken as Latin-1 (a programmer's
// note may hold any byte), so no text is ever lost.
std::wstring WideText(std::string_view text);
// A text for an edit control: every line break (CR LF, LF or CR) becomes CR LF.
std::wstring EditText(std::string_view text);

}  // namespace kv218

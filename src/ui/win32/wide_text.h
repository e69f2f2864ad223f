#pragma once
// Text between the core (UTF-8 std::string) and the Win32 "W" calls (UTF-16).

#include <string>
#include <string_view>

namespace kv218 {

// UTF-8 to UTF-16; bytes that are not valid UTF-8 are taken as Latin-1 (a programmer's note
// may hold any byte), so no text is ever lost.
std::wstring WideText(std::string_view text);
// UTF-16 to UTF-8.
std::string Utf8Text(std::wstring_view text);
// A text for an edit control: every line break (CR LF, LF or CR) becomes CR LF.
std::wstring EditText(std::string_view text);

}  // namespace kv218

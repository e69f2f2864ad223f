#include "ui/win32/wide_text.h"

#include "ground/utf8.h"

namespace kv218 {

std::wstring WideText(std::string_view text) {
  if (IsUtf8(text)) return WideFromUtf8(text);
  std::wstring latin1;
  latin1.reserve(text.size());
  for (const char c : text) latin1.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return latin1;
}

std::wstring EditText(std::string_view text) {
  const std::wstring wide = WideText(text);
  std::wstring lines;
  lines.reserve(wide.size() + 2);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\r') {
      if (i + 1 < wide.size() && wide[i + 1] == L'\n') ++i;
      lines += L"\r\n";
    } else if (wide[i] == L'\n') {
      lines += L"\r\n";
    } else {
      lines.push_back(wide[i]);
    }
  }
  return lines;
}

}  // namespace kv218

#include "ui/win32/wide_text.h"

#include <windows.h>

namespace kv218 {

std::wstring WideText(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length > 0) {
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
    return wide;
  }
  std::wstring latin1;
  latin1.reserve(text.size());
  for (const char c : text) latin1.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return latin1;
}

std::string Utf8Text(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
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

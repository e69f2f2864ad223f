#pragma once
// UTF-8 text and std::filesystem::path, both ways. A path made from a std::string, or
// path::string(), uses the ANSI code page on Windows, which loses non-ASCII names; these keep
// them on every platform.

#include <filesystem>
#include <string>
#include <string_view>

namespace kv218 {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace kv218

#include <filesystem>
#include <fstream>
#include <system_error>

#include "ground/regular_file.h"
#include "ground/utf8_path.h"

namespace kv218 {

// Windows has no pipes or devices behind ordinary paths that could block an open, so the
// file's kind is checked by name; paths are UTF-8.
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes) {
  const std::filesystem::path name = PathFromUtf8(path);
  std::error_code error;
  const auto status = std::filesystem::status(name, error);
  if (status.type() == std::filesystem::file_type::not_found) return {FileReadError::Missing, {}};
  if (error) return {FileReadError::Unreadable, {}};
  if (status.type() != std::filesystem::file_type::regular) return {FileReadError::NotRegular, {}};
  const auto size = std::filesystem::file_size(name, error);
  if (error) return {FileReadError::Unreadable, {}};
  if (size > maxBytes) return {FileReadError::TooLarge, {}};

  std::ifstream in(name, std::ios::binary);
  if (!in) return {FileReadError::Unreadable, {}};
  std::string text;
  text.reserve(static_cast<std::size_t>(size));
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > maxBytes) return {FileReadError::TooLarge, {}};  // grew while read
  }
  if (in.bad()) return {FileReadError::Unreadable, {}};
  return {FileReadError::None, std::move(text)};
}

}  // namespace kv218

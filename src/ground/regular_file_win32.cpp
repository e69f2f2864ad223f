#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ground/regular_file.h"
#include "ground/utf8_path.h"

namespace kv218 {

RegularFile::~RegularFile() { Close(); }

void RegularFile::Close() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

// Windows has no pipes or devices behind ordinary paths that could block an open, so the
// file's kind is checked by name before it is opened; paths are UTF-8.
FileReadError RegularFile::Open(const std::string& path, std::size_t maxBytes) {
  Close();
  const std::filesystem::path name = PathFromUtf8(path);
  std::error_code error;
  const auto status = std::filesystem::status(name, error);
  if (status.type() == std::filesystem::file_type::not_found) return FileReadError::Missing;
  if (error) return FileReadError::Unreadable;
  if (status.type() != std::filesystem::file_type::regular) return FileReadError::NotRegular;

  // Shared as a C runtime stream would share it: others may go on reading and writing.
  const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? FileReadError::Missing
                                                                        : FileReadError::Unreadable;
  }
  LARGE_INTEGER size{};
  FileReadError refused = FileReadError::None;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    refused = FileReadError::NotRegular;
  } else if (!GetFileSizeEx(file, &size)) {
    refused = FileReadError::Unreadable;
  } else if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
    refused = FileReadError::TooLarge;
  }
  if (refused != FileReadError::None) {
    CloseHandle(file);
    return refused;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  return FileReadError::None;
}

std::ptrdiff_t RegularFile::ReadAt(std::uint64_t offset, char* into, std::size_t n) {
  if (handle_ == -1) return -1;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), into, wanted, &got, &at)) {
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  }
  return static_cast<std::ptrdiff_t>(got);
}

}  // namespace kv218

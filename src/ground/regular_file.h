#pragma once
// Reading an input file (a HEX file, the settings file) that must be an ordinary file.
// What is not one is refused at once: a pipe would block the open until some writer came
// (and the first Ctrl-C with it), and a device such as /dev/zero would grow the text
// without end. The size is checked against a limit before anything is read.
// Opening and reading are implemented once per platform (regular_file_posix.cpp,
// regular_file_win32.cpp); reading a whole file is common to both (regular_file.cpp).

#include <cstddef>
#include <cstdint>
#include <string>

namespace kv218 {

enum class FileReadError {
  None,
  Missing,     // nothing at the path
  NotRegular,  // a folder, a pipe, a device
  TooLarge,    // more bytes than the limit (also when it grew past it while being read)
  Unreadable,  // no permission, an I/O error
};

// An ordinary file open for reading in pieces at given offsets, so that a reader may go
// through it with one small buffer instead of holding it whole.
class RegularFile {
 public:
  RegularFile() = default;
  ~RegularFile();
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  // Opens path; refused (and left closed) when it is no ordinary file or holds more than
  // maxBytes.
  FileReadError Open(const std::string& path, std::size_t maxBytes);
  // Up to n bytes from offset into into: how many were read (0 at the end of the file), or
  // -1 on an error.
  std::ptrdiff_t ReadAt(std::uint64_t offset, char* into, std::size_t n);
  // The size the file had when it was opened.
  std::uint64_t Size() const { return size_; }

 private:
  void Close();

  std::intptr_t handle_ = -1;  // the descriptor, or the Windows HANDLE
  std::uint64_t size_ = 0;
};

struct FileRead {
  FileReadError error = FileReadError::None;
  std::string text;  // the whole file when error is None, else empty
  bool ok() const { return error == FileReadError::None; }
};

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes);

}  // namespace kv218

#pragma once
// Reading a whole input file (a HEX file, the settings file) that must be an ordinary file.
// What is not one is refused at once: a pipe would block the open until some writer came
// (and the first Ctrl-C with it), and a device such as /dev/zero would grow the text
// without end. The size is checked against a limit before anything is read.
// Implemented once per platform (regular_file_posix.cpp, regular_file_win32.cpp).

#include <cstddef>
#include <string>

namespace kv218 {

enum class FileReadError {
  None,
  Missing,     // nothing at the path
  NotRegular,  // a folder, a pipe, a device
  TooLarge,    // more bytes than the limit (also when it grew past it while being read)
  Unreadable,  // no permission, an I/O error
};

struct FileRead {
  FileReadError error = FileReadError::None;
  std::string text;  // the whole file when error is None, else empty
  bool ok() const { return error == FileReadError::None; }
};

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes);

}  // namespace kv218

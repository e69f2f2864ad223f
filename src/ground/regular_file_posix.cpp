#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ground/regular_file.h"

namespace kv218 {

RegularFile::~RegularFile() { Close(); }

void RegularFile::Close() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
}

FileReadError RegularFile::Open(const std::string& path, std::size_t maxBytes) {
  Close();
  // O_NONBLOCK: opening a pipe for reading returns at once instead of waiting for a writer;
  // the descriptor is refused by fstat before anything is read from it.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return errno == ENOENT || errno == ENOTDIR ? FileReadError::Missing : FileReadError::Unreadable;
  }
  struct stat status {};
  FileReadError error = FileReadError::None;
  if (fstat(fd, &status) != 0) {
    error = FileReadError::Unreadable;
  } else if (!S_ISREG(status.st_mode)) {
    error = FileReadError::NotRegular;
  } else if (status.st_size < 0 || static_cast<std::uint64_t>(status.st_size) > maxBytes) {
    error = FileReadError::TooLarge;
  }
  if (error != FileReadError::None) {
    close(fd);
    return error;
  }
  handle_ = fd;
  size_ = static_cast<std::uint64_t>(status.st_size);
  return FileReadError::None;
}

std::ptrdiff_t RegularFile::ReadAt(std::uint64_t offset, char* into, std::size_t n) {
  if (handle_ < 0) return -1;
  for (;;) {
    const ssize_t got = pread(static_cast<int>(handle_), into, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

}  // namespace kv218

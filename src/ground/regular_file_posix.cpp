#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "ground/regular_file.h"

namespace kv218 {

namespace {

FileRead Refused(int fd, FileReadError error) {
  if (fd >= 0) close(fd);
  return FileRead{error, {}};
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes) {
  // O_NONBLOCK: opening a pipe for reading returns at once instead of waiting for a writer;
  // the descriptor is refused by fstat before anything is read from it.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return Refused(-1, errno == ENOENT || errno == ENOTDIR ? FileReadError::Missing
                                                           : FileReadError::Unreadable);
  }
  struct stat status {};
  if (fstat(fd, &status) != 0) return Refused(fd, FileReadError::Unreadable);
  if (!S_ISREG(status.st_mode)) return Refused(fd, FileReadError::NotRegular);
  if (status.st_size < 0 || static_cast<std::size_t>(status.st_size) > maxBytes)
    return Refused(fd, FileReadError::TooLarge);

  std::string text(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t done = 0;
  for (;;) {
    if (done == text.size()) {
      // Grown since fstat? Read on, but never more than one byte past the limit.
      if (done > maxBytes) return Refused(fd, FileReadError::TooLarge);
      text.resize(std::min(done + 4096, maxBytes + 1));
    }
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Refused(fd, FileReadError::Unreadable);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  close(fd);
  text.resize(done);
  return FileRead{FileReadError::None, std::move(text)};
}

}  // namespace kv218

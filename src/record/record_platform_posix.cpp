#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "record/record_platform.h"

namespace kv218 {

namespace {

// Closes a descriptor on every way out.
struct Descriptor {
  explicit Descriptor(int fd_) : fd(fd_) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd;
};

// Whether the regular file open for writing on fd (size bytes) ends inside a line. Read
// through a descriptor of its own, since fd only writes; a file that cannot be read is taken
// to end with its line.
bool EndsInsideALine(const std::string& path, int fd, off_t size) {
  if (size == 0) return false;
  const Descriptor reader(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat written {};
  struct stat read {};
  if (reader.fd < 0 || ::fstat(fd, &written) != 0 || ::fstat(reader.fd, &read) != 0 ||
      written.st_dev != read.st_dev || written.st_ino != read.st_ino) {
    return false;
  }
  char last = '\n';
  return ::pread(reader.fd, &last, 1, size - 1) == 1 && last != '\n';
}

// Writes all of bytes, going on after a short write (which a full disk gives before its
// error); the number of bytes written, with errno telling why when it is fewer.
std::size_t WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == 0) {
      errno = EIO;
      break;
    } else if (errno != EINTR) {
      break;
    }
  }
  return done;
}

}  // namespace

std::optional<std::string> AppendWholeLine(const std::string& path, std::string_view line) {
  // O_APPEND makes the kernel place each write at the end as one piece; O_NONBLOCK keeps a
  // FIFO without a reader (or a device) from hanging the caller at the open.
  const Descriptor file(
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666));
  if (file.fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
  struct stat status {};
  const bool regular = ::fstat(file.fd, &status) == 0 && S_ISREG(status.st_mode);

  // In a regular file a line is whole or not there at all. The writers of this program take
  // turns, so that a line that did not fit is still the last thing in the file when it is
  // taken back; and one that follows a line cut short (by another program, or a crash)
  // starts on a line of its own.
  off_t before = 0;
  std::string separated;
  std::string_view bytes = line;
  if (regular) {
    while (::flock(file.fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    if (::fstat(file.fd, &status) == 0) before = status.st_size;
    if (EndsInsideALine(path, file.fd, before)) {
      separated = "\n";
      separated += line;
      bytes = separated;
    }
  }

  std::optional<std::string> error;
  const std::size_t written = WriteAll(file.fd, bytes);
  if (written < bytes.size()) {
    const std::string reason = std::strerror(errno);
    if (written == 0) {
      error = "cannot write " + path + ": " + reason;
    } else if (!regular) {
      error = "only " + std::to_string(written) + " of " + std::to_string(bytes.size()) +
              " bytes written to " + path + ": " + reason;
    } else if (::ftruncate(file.fd, before) != 0) {
      error = "cannot write " + path + ": " + reason + " after " + std::to_string(written) +
              " of " + std::to_string(bytes.size()) +
              " bytes, which could not be taken back: " + std::strerror(errno);
    } else {
      error = "cannot write " + path + ": " + reason + " after " + std::to_string(written) +
              " of " + std::to_string(bytes.size()) + " bytes, which were taken back";
    }
  } else if (::fsync(file.fd) != 0 && errno != EINVAL) {
    // EINVAL: a file that cannot be synced (a pipe, a terminal); the line is out all the same.
    // A line the disk did not take is not left in the file either.
    error = "cannot flush " + path + " to disk: " + std::strerror(errno);
    if (regular && ::ftruncate(file.fd, before) == 0) *error += "; the line was taken back";
  }
  return error;
}

std::string HostName() {
  std::array<char, 256> name{};
  if (::gethostname(name.data(), name.size() - 1) != 0) return {};
  return std::string(name.data());
}

LocalTime LocalTimeOf(std::time_t when) {
  LocalTime local;
  localtime_r(&when, &local.fields);
  local.utcOffsetSeconds = local.fields.tm_gmtoff;
  return local;
}

}  // namespace kv218

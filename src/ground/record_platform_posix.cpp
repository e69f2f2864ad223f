#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "ground/record_platform.h"

namespace kv218 {

std::optional<std::string> AppendWholeLine(const std::string& path, std::string_view line) {
  // O_APPEND makes the kernel place each write at the end as one piece; O_NONBLOCK keeps a
  // FIFO without a reader (or a device) from hanging the caller at the open.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
  ssize_t written = 0;
  do {
    written = ::write(fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  std::optional<std::string> error;
  if (written < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
  } else if (static_cast<std::size_t>(written) != line.size()) {
    error = "only " + std::to_string(written) + " of " + std::to_string(line.size()) +
            " bytes written to " + path;
  } else if (::fsync(fd) != 0 && errno != EINVAL) {
    // EINVAL: a file that cannot be synced (a pipe, a terminal); the line is out all the same.
    error = "cannot flush " + path + " to disk: " + std::strerror(errno);
  }
  if (::close(fd) != 0 && !error) error = "cannot close " + path + ": " + std::strerror(errno);
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

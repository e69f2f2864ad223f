#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ground/platform.h"

namespace kv218 {

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return local;
}

std::string LocalTimeStampText(std::time_t when) {
  const std::tm local = LocalTime(when);
  std::array<char, 128> text{};
  const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
  const std::size_t n = std::strftime(text.data(), text.size(), midnight ? "%x" : "%x %X", &local);
  return std::string(text.data(), n);
}

std::string ExecutablePath() {
  std::array<char, 4096> buffer{};
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

bool FolderTakesNewFiles(const std::string& folder) {
  std::array<char, 32> name{};
  std::snprintf(name.data(), name.size(), "/.kv218tool-probe-%ld", static_cast<long>(::getpid()));
  const std::string probe = folder + name.data();
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::string UserConfigurationHome() {
  const char* value = std::getenv("XDG_CONFIG_HOME");
  return value != nullptr ? value : "";
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::string LastErrorText() { return std::strerror(errno); }

struct ReplacementFile::Native {
  std::string target;
  std::string temp;
  int fd = -1;
};

ReplacementFile::ReplacementFile(const std::string& target) : native_(new Native{target, {}, -1}) {
  std::string temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return;
  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  native_->fd = fd;
  native_->temp = temp;
  if (::fchmod(fd, mode) != 0) {
    ::close(fd);
    ::unlink(temp.c_str());
    native_->fd = -1;
  }
}

ReplacementFile::~ReplacementFile() {
  if (native_->fd < 0) return;
  const int saved = errno;  // keep the cause of a failure for LastErrorText
  ::close(native_->fd);
  ::unlink(native_->temp.c_str());
  errno = saved;
}

bool ReplacementFile::IsOpen() const { return native_->fd >= 0; }

bool ReplacementFile::Write(std::string_view bytes) {
  if (native_->fd < 0) return false;
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(native_->fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ReplacementFile::Commit() {
  if (native_->fd < 0) return false;
  bool ok = ::fsync(native_->fd) == 0;
  ok = ::close(native_->fd) == 0 && ok;
  native_->fd = -1;
  ok = ok && ::rename(native_->temp.c_str(), native_->target.c_str()) == 0;
  if (!ok) {
    const int saved = errno;
    ::unlink(native_->temp.c_str());
    errno = saved;
  }
  return ok;
}

}  // namespace kv218

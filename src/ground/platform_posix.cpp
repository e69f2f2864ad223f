#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

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

namespace {

// The kernel's own bound on the links it follows in one path.
constexpr int kMostLinks = 40;
// "<name>.XXXXXX.tmp": mkstemps fills the six with letters and digits.
constexpr std::string_view kTemporaryEnd = ".tmp";
constexpr std::size_t kUniqueLetters = 6;

// path with the symbolic links of its last part followed to their end (each relative one
// read from the link's own folder); a missing end is where a new file goes.
std::string FollowLinks(std::string path) {
  for (int hop = 0; hop < kMostLinks; ++hop) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) break;
    std::string to(link.st_size > 0 ? static_cast<std::size_t>(link.st_size) + 1 : 4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= to.size()) break;
    to.resize(static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    if (to.front() != '/' && slash != std::string::npos) to.insert(0, path, 0, slash + 1);
    path = std::move(to);
  }
  return path;
}

bool IsTemporaryOf(std::string_view entry, std::string_view name) {
  if (entry.size() != name.size() + 1 + kUniqueLetters + kTemporaryEnd.size() ||
      !entry.starts_with(name) || entry[name.size()] != '.' || !entry.ends_with(kTemporaryEnd)) {
    return false;
  }
  const std::string_view unique = entry.substr(name.size() + 1, kUniqueLetters);
  for (const char c : unique) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letter) return false;
  }
  return true;
}

// Removes what saves of target that were killed left behind. A save holds a lock on its
// temporary file from its making until it has replaced the target or removed it, so a
// temporary file nobody holds is one whose save is gone.
void RemoveStaleTemporaries(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  DIR* entries = ::opendir(folder.c_str());
  if (entries == nullptr) return;
  while (const dirent* entry = ::readdir(entries)) {
    if (!IsTemporaryOf(entry->d_name, name)) continue;
    const std::string path = (slash == std::string::npos ? "" : folder) + entry->d_name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
  ::closedir(entries);
}

// Syncs the folder that holds path: a rename is a change of the folder, and until the folder
// is on the disk a power cut may bring back the old name, or leave only the temporary file.
// A file system that cannot sync a folder (EINVAL) is taken as it is.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

struct ReplacementFile::Native {
  std::string target;  // the file itself, past any symbolic link
  std::string temp;
  int fd = -1;
  bool targetRefused = false;
  std::string error;

  void Failed() { error = std::strerror(errno); }
};

ReplacementFile::ReplacementFile(const std::string& target) : native_(new Native) {
  Native& n = *native_;
  n.target = FollowLinks(target);
  struct stat old {};
  const bool exists = ::stat(n.target.c_str(), &old) == 0;
  if (exists && S_ISREG(old.st_mode)) {
    // A file its user may not write (its mode, a read-only disk, an immutable file) is
    // replaced by no one who could not write it.
    const int probe = ::open(n.target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (probe < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
      n.Failed();
      n.targetRefused = true;
      return;
    }
    if (probe >= 0) ::close(probe);
  }
  RemoveStaleTemporaries(n.target);
  // Locked before anything else is done with it; a cleaner that took it away in the moment
  // before the lock leaves it without a name, and another is made.
  for (int attempt = 0; attempt < 10 && n.fd < 0; ++attempt) {
    std::string temp = n.target + ".XXXXXX" + std::string(kTemporaryEnd);
    const int fd = ::mkstemps(temp.data(), static_cast<int>(kTemporaryEnd.size()));
    if (fd < 0) {
      n.Failed();
      return;
    }
    struct stat made {};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &made) == 0 && made.st_nlink > 0) {
      n.fd = fd;
      n.temp = std::move(temp);
    } else {
      n.Failed();
      ::close(fd);
    }
  }
  if (n.fd < 0) return;
  const mode_t mode = exists ? (old.st_mode & 07777) : 0644;
  if (::fchmod(n.fd, mode) != 0) {
    n.Failed();
    ::unlink(n.temp.c_str());
    ::close(n.fd);
    n.fd = -1;
    return;
  }
  // The owner's file stays the owner's when someone else (the administrator) saves it; where
  // that is not allowed the new file is the saver's, as any new file would be.
  if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(n.fd, old.st_uid, old.st_gid) != 0 &&
      ::fchown(n.fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // Neither: keep the saver's.
  }
}

ReplacementFile::~ReplacementFile() {
  if (native_->fd < 0) return;
  const int saved = errno;  // keep the cause of a failure for LastErrorText
  ::unlink(native_->temp.c_str());
  ::close(native_->fd);  // the lock goes last, with the name already gone
  errno = saved;
}

bool ReplacementFile::IsOpen() const { return native_->fd >= 0; }

bool ReplacementFile::TargetRefused() const { return native_->targetRefused; }

const std::string& ReplacementFile::Error() const { return native_->error; }

bool ReplacementFile::Write(std::string_view bytes) {
  if (native_->fd < 0) return false;
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(native_->fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      native_->Failed();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ReplacementFile::Commit() {
  Native& n = *native_;
  if (n.fd < 0) return false;
  // Renamed while still locked, so that no cleaner can take it away before it is in place.
  const bool ok = ::fsync(n.fd) == 0 && ::rename(n.temp.c_str(), n.target.c_str()) == 0;
  const int failure = errno;  // kept for LastErrorText
  if (!ok) {
    n.Failed();
    ::unlink(n.temp.c_str());
  }
  ::close(n.fd);  // the data are on the disk: a late error changes nothing
  n.fd = -1;
  if (ok) SyncFolderOf(n.target);
  errno = failure;
  return ok;
}

}  // namespace kv218

#include "port/posix_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

#include "port/burst_wait.h"
#include "port/line_settings.h"
#include "port/system_port.h"
#include "port/termios_line.h"

namespace kv218 {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Linux's device numbers of pseudo-terminal slaves (/dev/pts/N).
constexpr unsigned int kFirstPtySlaveMajor = 136;
constexpr unsigned int kLastPtySlaveMajor = 143;

}  // namespace

std::string PosixDevicePath(const std::string& path) {
  const std::string prefix = "\\\\.\\COM";
  if (path.size() <= prefix.size() || path.size() > prefix.size() + 9) return path;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(path[i]) != prefix[i]) return path;
  }
  std::uint32_t n = 0;
  for (std::size_t i = prefix.size(); i < path.size(); ++i) {
    if (!IsDigit(path[i])) return path;
    n = n * 10 + static_cast<std::uint32_t>(path[i] - '0');
  }
  if (n == 0) return path;
  return "/dev/ttyS" + std::to_string(n - 1);
}

namespace {

// Bits on the wire per character: start, data, parity and stop bits (1.5 counted as 2).
int BitsPerByte(const LineSettings& line) {
  return 1 + line.dataBits + (line.parity == Parity::None ? 0 : 1) +
         (line.stopBits == StopBits::One ? 1 : 2);
}

}  // namespace

std::unique_ptr<PortChannel> MakeSystemPort() { return std::make_unique<PosixPort>(); }

std::string SystemDevicePath(const std::string& path) { return PosixDevicePath(path); }

std::string SystemDeviceGroup(const std::string& path) {
  struct stat status {};
  if (stat(PosixDevicePath(path).c_str(), &status) != 0) return {};
  group entry{};
  group* found = nullptr;
  std::array<char, 4096> names{};
  if (getgrgid_r(status.st_gid, &entry, names.data(), names.size(), &found) != 0 || !found)
    return {};
  return found->gr_name;
}

PosixPort::PosixPort() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

PosixPort::~PosixPort() {
  Close();
  if (wakeFd_ >= 0) close(wakeFd_);
}

OpenFailure OpenFailureOf(int systemError) {
  switch (systemError) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return {OpenError::NoSuchDevice, systemError};
    case EACCES:
    case EPERM:
    case EROFS:
      return {OpenError::PermissionDenied, systemError};
    case EBUSY:
    case EWOULDBLOCK:
      return {OpenError::Busy, systemError};
    case ENOTTY:
    case EISDIR:
      return {OpenError::NotASerialDevice, systemError};
    default:
      return {OpenError::Other, systemError};
  }
}

int PosixPort::OpenTerminal(const std::string& device) {
  auto refuse = [this](int fd, int systemError) {
    if (fd >= 0) close(fd);
    lastFailure_ = OpenFailureOf(systemError);
    return -1;
  };
  // Only a character device is opened at all: opening a file or a pipe read-write would let
  // frames overwrite it and its bytes pass for replies.
  struct stat status {};
  if (stat(device.c_str(), &status) == 0 && !S_ISCHR(status.st_mode)) return refuse(-1, ENOTTY);
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refuse(-1, errno);
  if (fstat(fd, &status) != 0) return refuse(fd, errno);
  if (!S_ISCHR(status.st_mode)) return refuse(fd, ENOTTY);  // replaced since the stat
  // A character device that is no terminal: the drivers that know no terminal questions
  // answer ENOTTY, some (/dev/urandom) EINVAL; either way it is no serial device.
  termios probe{};
  if (tcgetattr(fd, &probe) != 0) return refuse(fd, errno == EINVAL ? ENOTTY : errno);
  // flock is per open file description: a second open of the same device, from this process
  // or another, cannot take it. TIOCEXCL adds the terminal's own exclusive mode (which does
  // not hold against a privileged process, hence the lock); it fails on what is no terminal.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse(fd, errno);
  if (ioctl(fd, TIOCEXCL) != 0) return refuse(fd, errno);
  termios line{};
  if (tcgetattr(fd, &line) != 0) {
    const int error = errno;
    ioctl(fd, TIOCNXCL);
    return refuse(fd, error);
  }
  return fd;
}

bool PosixPort::Open(const std::string& path, const std::string& settings) {
  Close();
  lastFailure_ = {};
  if (wakeFd_ < 0) {
    lastFailure_ = {OpenError::Other, 0};
    return false;
  }
  const int fd = OpenTerminal(PosixDevicePath(path));
  if (fd < 0) return false;

  // As with the Windows port, the results from here on are not examined: once the device is
  // open, the port counts as open.
  LineSettings line;
  std::uint32_t baud = 0;
  int bitsPerByte = 0;
  if (ReadLineSettings(fd, line)) {
    ApplySettingsText(settings, line);  // an unreadable text leaves line as it was
    ApplyLineSettings(fd, line);
    baud = line.baud;
    bitsPerByte = BitsPerByte(line);
  }
  int modemLines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIC, &modemLines);
  tcflush(fd, TCIOFLUSH);

  std::lock_guard lock(mutex_);
  std::uint64_t drained = 0;
  [[maybe_unused]] ssize_t ignored = read(wakeFd_, &drained, sizeof drained);
  interrupted_ = false;
  if (!writer_.Start(fd)) {
    lastFailure_ = {OpenError::Other, 0};
    ioctl(fd, TIOCNXCL);
    close(fd);
    return false;
  }
  fd_ = fd;
  baud_ = baud;
  bitsPerByte_ = bitsPerByte;
  return true;
}

namespace {

// A pseudo-terminal's output queue is its other side's input: flushing it would take back
// bytes already delivered (the EndRun a run ends with), so only its input is purged.
bool IsPseudoTerminal(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) return false;
  const unsigned int number = major(status.st_rdev);
  return number >= kFirstPtySlaveMajor && number <= kLastPtySlaveMajor;
}

}  // namespace

void PosixPort::Close() {
  int fd = -1;
  {
    std::unique_lock lock(mutex_);
    if (fd_ < 0) return;
    interrupted_ = true;
    WakeReaders();
    readerLeft_.wait(lock, [this] { return readers_ == 0; });
    fd = fd_;
    fd_ = -1;
  }
  writer_.Stop();  // unsent bytes are discarded, like the purge below
  tcflush(fd, IsPseudoTerminal(fd) ? TCIFLUSH : TCIOFLUSH);
  ioctl(fd, TIOCNXCL);  // a pseudo-terminal keeps its mode while the other side stays open
  close(fd);
}

bool PosixPort::IsOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

bool PosixPort::Send(const std::uint8_t* data, std::size_t count) {
  return writer_.Enqueue(data, count);
}

bool PosixPort::Drain(std::chrono::milliseconds limit) {
  int fd = -1;
  std::uint32_t baud = 0;
  int bitsPerByte = 0;
  {
    std::lock_guard lock(mutex_);
    fd = fd_;
    baud = baud_;
    bitsPerByte = bitsPerByte_;
  }
  if (fd < 0) return false;
  if (baud > 0) {
    // What is still to go: the queue and what the driver holds. A line that takes nothing
    // (hung up, held by flow control) costs this much and no more.
    int inDriver = 0;
    if (ioctl(fd, TIOCOUTQ, &inDriver) != 0 || inDriver < 0) inDriver = 0;
    const std::size_t pending = writer_.Queued() + static_cast<std::size_t>(inDriver);
    limit = std::min(limit, LineTime(pending, baud, bitsPerByte) + kDrainMargin);
  }
  if (!writer_.WaitUntilEmpty(limit)) return false;
  return tcdrain(fd) == 0;
}

void PosixPort::InterruptRead() {
  std::lock_guard lock(mutex_);
  interrupted_ = true;
  WakeReaders();
}

void PosixPort::WakeReaders() {
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t ignored = write(wakeFd_, &one, sizeof one);
}

ReadStatus PosixPort::ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                                const BurstEnd* end) {
  count = 0;
  int fd = -1;
  {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || interrupted_) return ReadStatus::Interrupted;
    fd = fd_;
    ++readers_;
  }
  ReadStatus status = ReadFrom(fd, buffer, capacity, count, end);
  {
    std::lock_guard lock(mutex_);
    --readers_;
  }
  readerLeft_.notify_all();
  return status;
}

ReadStatus PosixPort::ReadFrom(int fd, std::uint8_t* buffer, std::size_t capacity,
                               std::size_t& count, const BurstEnd* end) {
  if (capacity == 0) return ReadStatus::Burst;
  int timeout = -1;  // wait without limit for the first byte, then as NextByteWait says
  while (count < capacity) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int ready = poll(fds, 2, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return count > 0 ? ReadStatus::Burst : ReadStatus::Failed;
    }
    if (ready == 0) break;  // the gap: the burst is complete
    // A stop keeps the bytes already taken; the next call reports the interruption.
    if ((fds[1].revents & POLLIN) != 0)
      return count > 0 ? ReadStatus::Burst : ReadStatus::Interrupted;
    const short lineState = fds[0].revents;
    if (lineState == 0) continue;
    ssize_t got = read(fd, buffer + count, capacity - count);
    if (got > 0) {
      count += static_cast<std::size_t>(got);
      const auto wait = NextByteWait(end, buffer, count);
      if (!wait) break;                           // a whole reply
      timeout = static_cast<int>(wait->count());  // poll waits at least this long
      continue;
    }
    const bool hungUp = (lineState & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (got < 0 && (errno == EAGAIN || errno == EINTR) && !hungUp) continue;
    // End of file (a hung-up terminal reads 0), an I/O error (a pseudo-terminal whose other
    // side closed), or a line that reports a hang-up and has nothing to read: a pulled
    // adapter or a closed line never comes back on this descriptor.
    return count > 0 ? ReadStatus::Burst : ReadStatus::Lost;
  }
  return ReadStatus::Burst;
}

}  // namespace kv218

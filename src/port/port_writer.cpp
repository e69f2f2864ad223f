#include "port/port_writer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kv218 {

PortWriter::~PortWriter() { Stop(); }

bool PortWriter::Start(int fd) {
  Stop();
  int stopFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (stopFd < 0) return false;
  std::lock_guard lock(mutex_);
  fd_ = fd;
  stopFd_ = stopFd;
  head_ = 0;
  size_ = 0;
  stop_ = false;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void PortWriter::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    stop_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t ignored = write(stopFd_, &one, sizeof one);
  }
  wake_.notify_all();
  thread_.join();
  std::lock_guard lock(mutex_);
  close(stopFd_);
  stopFd_ = -1;
  fd_ = -1;
  head_ = 0;
  size_ = 0;
  running_ = false;
}

bool PortWriter::Enqueue(const std::uint8_t* data, std::size_t count) {
  {
    std::lock_guard lock(mutex_);
    if (!running_ || stop_ || count == 0 || count > kPortQueueBytes - size_) return false;
    std::size_t tail = (head_ + size_) % kPortQueueBytes;
    std::size_t first = std::min(count, kPortQueueBytes - tail);
    std::memcpy(queue_.data() + tail, data, first);
    std::memcpy(queue_.data(), data + first, count - first);
    size_ += count;
  }
  wake_.notify_one();
  return true;
}

bool PortWriter::WaitUntilEmpty(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return emptied_.wait_for(lock, limit, [this] { return !running_ || stop_ || size_ == 0; }) &&
         size_ == 0;
}

std::size_t PortWriter::Queued() {
  std::lock_guard lock(mutex_);
  return size_;
}

void PortWriter::Run() {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stop_ || size_ > 0; });
    if (stop_) return;
    // The run from head_ to the end of the queue (or of the data) is ours until written.
    const std::uint8_t* data = queue_.data() + head_;
    std::size_t count = std::min(size_, kPortQueueBytes - head_);
    lock.unlock();
    long written = WriteSome(data, count);
    lock.lock();
    if (stop_) return;
    if (written > 0) {
      head_ = (head_ + static_cast<std::size_t>(written)) % kPortQueueBytes;
      size_ -= static_cast<std::size_t>(written);
    } else {
      // The line is gone: what is queued can never leave. Drop it and wait for new frames
      // (each then fails once) instead of retrying in a loop.
      head_ = 0;
      size_ = 0;
    }
    if (size_ == 0) emptied_.notify_all();
  }
}

long PortWriter::WriteSome(const std::uint8_t* data, std::size_t count) {
  while (true) {
    pollfd fds[2] = {{fd_, POLLOUT, 0}, {stopFd_, POLLIN, 0}};
    int ready = poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if ((fds[1].revents & POLLIN) != 0) return -1;
    if ((fds[0].revents & POLLOUT) == 0) return -1;  // hung up or failed, not writable
    ssize_t written = write(fd_, data, count);
    if (written > 0) return static_cast<long>(written);
    if (written < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    return -1;
  }
}

}  // namespace kv218

#pragma once
// A named pipe for tests of what must never block on one. Should the code under test wait in
// the pipe's open for a writer, the guard opens and closes the writing end every few seconds,
// so the test goes on and fails on what it got instead of hanging.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kv218::testing {

class FifoGuard {
 public:
  explicit FifoGuard(std::string path) : path_(std::move(path)) {
    ok_ = mkfifo(path_.c_str(), 0600) == 0;
    thread_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      while (!cv_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) {
        const int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);  // fails when nobody reads
        if (fd >= 0) close(fd);
      }
    });
  }
  ~FifoGuard() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  FifoGuard(const FifoGuard&) = delete;
  FifoGuard& operator=(const FifoGuard&) = delete;

  bool Ok() const { return ok_; }
  const std::string& Path() const { return path_; }
  bool StillAPipe() const {
    struct stat status {};
    return lstat(path_.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
  }

 private:
  std::string path_;
  bool ok_ = false;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace kv218::testing

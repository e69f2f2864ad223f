#pragma once
// A pseudo-terminal pair for the port tests: the port under test opens the slave by its path,
// the test plays the programmer on the master.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kv218::testing {

// Long enough never to be reached by a working port; only a guard against hanging tests.
inline constexpr std::chrono::seconds kGuard{5};

class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    std::array<char, 128> name{};
    if (ptsname_r(master_, name.data(), name.size()) == 0) slavePath_ = name.data();
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

  // Hangs the line up as seen from the slave.
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

  bool Write(const std::vector<std::uint8_t>& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Reads until count bytes arrived or the guard ran out; returns what arrived.
  std::vector<std::uint8_t> Read(std::size_t count) const {
    std::vector<std::uint8_t> got(count);
    std::size_t done = 0;
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (done < count && std::chrono::steady_clock::now() < until) {
      pollfd fd{master_, POLLIN, 0};
      if (poll(&fd, 1, 100) <= 0) continue;
      ssize_t n = read(master_, got.data() + done, count - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    got.resize(done);
    return got;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// count bytes of a pattern that shows misplaced or repeated bytes.
inline std::vector<std::uint8_t> Pattern(std::size_t count, std::uint8_t seed = 0) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 256 + seed) & 0xFF);
  }
  return bytes;
}

}  // namespace kv218::testing

// The last frame before a close reaches the far end: Drain, then Close, over a real
// pseudo-terminal pair.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "port/posix_port.h"

namespace kv218 {
namespace {

class PtyPair {
 public:
  PtyPair() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master);
    unlockpt(master);
    slavePath = ptsname(master);
    // A raw line on the far side, as the simulated programmer keeps it.
    keepOpen = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios line{};
    tcgetattr(keepOpen, &line);
    cfmakeraw(&line);
    tcsetattr(keepOpen, TCSANOW, &line);
  }
  ~PtyPair() {
    close(keepOpen);
    close(master);
  }
  // Everything the master can read until count bytes came or the guard deadline passed.
  std::vector<std::uint8_t> Read(std::size_t count) const {
    std::vector<std::uint8_t> got;
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (got.size() < count && std::chrono::steady_clock::now() < guard) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      std::uint8_t buffer[4096];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  int master = -1;
  int keepOpen = -1;
  std::string slavePath;
};

TEST(PortDrain, AFrameSentJustBeforeTheCloseArrivesWhole) {
  PtyPair pty;
  std::vector<std::uint8_t> frame(4100);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7);
  const std::vector<std::uint8_t> endRun = {0x1F, 0x4D, 0x45};
  {
    PosixPort port;
    ASSERT_TRUE(port.Open(pty.slavePath, "115200,E,8,1"));
    ASSERT_TRUE(port.Send(frame.data(), frame.size()));
    ASSERT_TRUE(port.Send(endRun.data(), endRun.size()));
    EXPECT_TRUE(port.Drain(std::chrono::seconds(2)));
    port.Close();
  }
  std::vector<std::uint8_t> expected = frame;
  expected.insert(expected.end(), endRun.begin(), endRun.end());
  EXPECT_EQ(pty.Read(expected.size()), expected);
}

}  // namespace
}  // namespace kv218

// The simulated programmer on a pseudo-terminal, reached as a host reaches it: a plain termios
// client, and the host's own POSIX port.

#include "sim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "host_side.h"
#include "port/posix_port.h"

namespace kv218::sim::test {
namespace {

constexpr int kPatienceMs = 5000;  // a generous bound for a reply that should come at once

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("kv218-sim-") + std::to_string(getpid()) + "-" + name))
      .string();
}

// Reads until `expected` bytes arrived or the line stays silent for kPatienceMs.
Bytes ReadSome(int fd, std::size_t expected) {
  Bytes bytes;
  std::uint8_t chunk[4096];
  while (bytes.size() < expected) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kPatienceMs) <= 0) break;
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

class PtyServerTest : public ::testing::Test {
 protected:
  void StartServer(LineOptions line, DeviceOptions options = Driver::NoWait()) {
    model = std::make_unique<DeviceModel>(std::move(options));
    server = std::make_unique<PtyServer>(*model, std::move(line));
    std::string error;
    ASSERT_TRUE(server->Start(error)) << error;
  }
  static LineOptions Unpaced() {
    LineOptions line;
    line.unpaced = true;
    return line;
  }
  // Where a test reads bursts that follow each other, a wide gap keeps a busy machine from
  // running them together (the host's read ends after 50 ms of silence as it sees it).
  static LineOptions WideGaps(bool unpaced) {
    LineOptions line;
    line.unpaced = unpaced;
    line.minimumGap = std::chrono::milliseconds(250);
    return line;
  }
  void TearDown() override {
    if (server) server->Stop();
  }

  std::unique_ptr<DeviceModel> model;
  std::unique_ptr<PtyServer> server;
};

TEST_F(PtyServerTest, APlainTermiosClientGetsTheIdentityReply) {
  StartServer(Unpaced());
  const int fd = open(server->SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios line{};
  ASSERT_EQ(tcgetattr(fd, &line), 0);
  EXPECT_EQ(line.c_lflag & (ECHO | ICANON), 0u) << "the server left the line raw";
  cfmakeraw(&line);
  tcsetattr(fd, TCSANOW, &line);
  const Bytes frame = B({0x1F, 'R', 'I'});
  ASSERT_EQ(write(fd, frame.data(), frame.size()), 3);
  EXPECT_EQ(ReadSome(fd, 7), B({0x1F, 'R', 'I', 0xBF, 0x00, 0x18, 0x21}));
  close(fd);
}

// The host's port reads one burst per call, cut at a 50 ms gap. A read that gets nothing for
// kPatienceMs is interrupted, so a missing reply fails the test instead of hanging it.
Bytes ReadBurst(kv218::PosixPort& port) {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (!done.wait_for(lock, std::chrono::milliseconds(kPatienceMs), [&] { return finished; })) {
      port.InterruptRead();
    }
  });
  std::array<std::uint8_t, kv218::kMaxBurst> buffer{};
  std::size_t count = 0;
  EXPECT_EQ(port.ReadBurst(buffer.data(), buffer.size(), count, nullptr), kv218::ReadStatus::Burst);
  {
    std::lock_guard lock(mutex);
    finished = true;
  }
  done.notify_all();
  watchdog.join();
  return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
}

bool Send(kv218::PosixPort& port, const Bytes& frame) {
  return port.Send(frame.data(), frame.size());
}

TEST_F(PtyServerTest, TheHostsPosixPortGetsTheIdentityReplyInEverySession) {
  StartServer(LineOptions{});  // paced at 115,200 baud
  for (int session = 0; session < 2; ++session) {
    kv218::PosixPort port;
    ASSERT_TRUE(port.Open(server->SlavePath(), "115200,E,8,1")) << "session " << session;
    ASSERT_TRUE(Send(port, B({0x1F, 'R', 'I'})));
    EXPECT_EQ(ReadBurst(port), B({0x1F, 'R', 'I', 0xBF, 0x00, 0x18, 0x21}));
    port.Close();
  }
}

TEST_F(PtyServerTest, BurstsAreReadOneByOneAndADataReplyWhole) {
  StartServer(WideGaps(false));
  kv218::PosixPort port;
  ASSERT_TRUE(port.Open(server->SlavePath(), "115200,E,8,1"));
  // Two frames at once: the answers still come as two reads, thanks to the gap between them.
  ASSERT_TRUE(Send(port, Cat(B({0x1F, 'R', 'I'}), B({0x1F, '-'}).data(), 2)));
  EXPECT_EQ(ReadBurst(port).size(), 7u);
  EXPECT_EQ(Header(ReadBurst(port), 3), B({0x1F, '-', 'F'}));
  // A paced 3,076-byte reply is never split by the host's 50 ms gap.
  ASSERT_TRUE(Send(port, B({0x1F, 'R', 'D', 'D'})));
  const Bytes data = ReadBurst(port);
  EXPECT_EQ(data.size(), 4u + 3072u);
  EXPECT_EQ(Header(data, 4), B({0x1F, 'R', 'D', 'D'}));
}

TEST_F(PtyServerTest, AStandaloneRunSendsEachStatusReportAsABurstOfItsOwn) {
  StartServer(WideGaps(true));
  kv218::PosixPort port;
  ASSERT_TRUE(port.Open(server->SlavePath(), "115200,E,8,1"));
  server->RequestStandaloneRun();
  const std::vector<Bytes> expected = {B({0x1B, 'S', 0}), B({0x1B, 'S', 1, 0}), B({0x1B, 'S', 6})};
  for (const Bytes& report : expected) EXPECT_EQ(ReadBurst(port), report);
}

TEST_F(PtyServerTest, TheHangUpFaultDropsTheLineAndEndsTheServer) {
  DeviceOptions options = Driver::NoWait();
  std::string error;
  ASSERT_TRUE(options.faults.Add("hangup-mid-transfer=1", error));
  StartServer(Unpaced(), std::move(options));
  kv218::PosixPort port;
  ASSERT_TRUE(port.Open(server->SlavePath(), "115200,E,8,1"));
  ASSERT_TRUE(Send(port, B({0x1F, 'F', 'R', 'D', 0})));
  std::array<std::uint8_t, 64> buffer{};
  std::size_t count = 0;
  EXPECT_EQ(port.ReadBurst(buffer.data(), buffer.size(), count, nullptr), kv218::ReadStatus::Lost);
  server->WaitUntilEnded();
  EXPECT_TRUE(server->HungUp());
}

TEST_F(PtyServerTest, TheLinkPointsAtTheSlaveWhileRunningAndTheTraceRecordsBothWays) {
  const std::string link = TempPath("link");
  const std::string tracePath = TempPath("trace");
  WireTrace trace;
  std::string error;
  ASSERT_TRUE(trace.Open(tracePath, error)) << error;
  LineOptions line = Unpaced();
  line.linkPath = link;
  line.trace = &trace;
  StartServer(line);
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), server->SlavePath());

  kv218::PosixPort port;
  ASSERT_TRUE(port.Open(link, "115200,E,8,1"));
  ASSERT_TRUE(Send(port, B({0x1F, 'F', 'R', 'E'})));
  EXPECT_EQ(ReadBurst(port).size(), 8u);
  port.Close();
  server->Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

  std::ifstream file(tracePath);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("host> 1F 46 52 45\n"), std::string::npos) << text;
  EXPECT_NE(text.find("sim<  1F 46 52 45 00 00 00 00\n"), std::string::npos) << text;
  std::filesystem::remove(tracePath);
}

TEST_F(PtyServerTest, AHostThatLeftTheLineExclusiveDoesNotLockOutTheNext) {
  StartServer(Unpaced());
  const int host = open(server->SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  ASSERT_EQ(ioctl(host, TIOCEXCL), 0);
  close(host);  // without lifting it, as a crashed host would
  // The server lifts the mode once it sees the close; a privileged test can watch for it.
  const int probe = open(server->SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(probe, 0);
  int exclusive = 1;
  for (int i = 0; i < 500 && exclusive != 0; ++i) {
    ASSERT_EQ(ioctl(probe, TIOCGEXCL, &exclusive), 0);
    if (exclusive != 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(exclusive, 0);
  close(probe);
}

}  // namespace
}  // namespace kv218::sim::test

#include "port/receive_thread.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <time.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/queue_loop.h"
#include "port/posix_port.h"
#include "pty_pair.h"
#include "testkit/recording_port.h"
#include "testkit/watched_port.h"

namespace kv218 {
namespace {

using testing::kGuard;
using testing::PtyPair;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Waits for a condition that another thread brings about, sleeping in between.
bool WaitFor(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + kGuard;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

std::chrono::nanoseconds ThreadCpuTime(std::thread::native_handle_type thread) {
  clockid_t clock{};
  timespec used{};
  if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &used) != 0) {
    ADD_FAILURE() << "no CPU clock for the thread";
    return {};
  }
  return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

class ReceiveThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(port.Open(pty.SlavePath(), "115200,E,8,1"));
    loop.SetTickTimer(true);  // short ticks keep WaitForMessages returning
  }

  std::unique_ptr<ReceiveThread> Start() {
    return std::make_unique<ReceiveThread>(
        port, loop,
        [this](const std::uint8_t* b, std::size_t n) {
          bursts.emplace_back(b, b + n);
          handlerThreads.push_back(std::this_thread::get_id());
          if (onBurst) onBurst();
        },
        nullptr,
        [this] {
          ++losses;
          handlerThreads.push_back(std::this_thread::get_id());
        });
  }

  // Runs the window thread's loop until done (false when the guard ran out).
  bool PumpUntil(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      loop.WaitForMessages();
    }
    return true;
  }

  PtyPair pty;
  PosixPort posix;
  test::PortWatch watch;  // the reads of port
  test::WatchedPort port{watch, posix};
  QueueLoop loop{10ms};
  std::vector<Bytes> bursts;
  std::vector<std::thread::id> handlerThreads;
  std::function<void()> onBurst;
  int losses = 0;  // the lost handler's calls
};

TEST_F(ReceiveThreadTest, HandsEachBurstToTheWindowThreadAndWaitsForTheHandler) {
  int readingDuringHandler = -1;
  onBurst = [&] {
    std::this_thread::sleep_for(20ms);  // room for a thread that did not wait to read again
    readingDuringHandler = watch.Active();
  };
  auto thread = Start();

  const Bytes first = {0x1F, 0x52, 0x49, 0x01};
  const Bytes second = {0x1B, 0x53, 0x07};
  ASSERT_TRUE(pty.Write(first));
  ASSERT_TRUE(PumpUntil([&] { return bursts.size() == 1; }));
  EXPECT_EQ(readingDuringHandler, 0);
  ASSERT_TRUE(pty.Write(second));
  ASSERT_TRUE(PumpUntil([&] { return bursts.size() == 2; }));

  EXPECT_EQ(bursts, (std::vector<Bytes>{first, second}));
  for (std::thread::id id : handlerThreads) EXPECT_EQ(id, std::this_thread::get_id());
  thread->Stop();
  EXPECT_FALSE(thread->Running());
}

// A line whose reads fail at once on every call: the thread must back off instead of
// spinning.
TEST_F(ReceiveThreadTest, FailingReadsLeaveTheThreadIdle) {
  // A port whose every read fails at once, without the line being lost.
  test::RecordingPort failing;
  failing.readsEnd = ReadStatus::Failed;
  test::PortWatch counted;
  test::WatchedPort watched(counted, failing);
  ReceiveThread thread(watched, loop, [this](const std::uint8_t* b, std::size_t n) {
    bursts.emplace_back(b, b + n);
  });
  ASSERT_TRUE(counted.AwaitEnded(ReadStatus::Failed, 1, kGuard));

  const int failedBefore = counted.Ended(ReadStatus::Failed);
  const auto cpuBefore = ThreadCpuTime(thread.NativeHandle());
  std::this_thread::sleep_for(1s);  // the period observed
  const auto cpuUsed = ThreadCpuTime(thread.NativeHandle()) - cpuBefore;
  const int failedDuring = counted.Ended(ReadStatus::Failed) - failedBefore;
  RecordProperty("cpu_us_in_1s", static_cast<int>(cpuUsed.count() / 1000));
  RecordProperty("failed_reads_in_1s", failedDuring);

  // A spinning thread would use the whole second and fail thousands of reads; backing off
  // (100, 200, 400, 800 ms) leaves a handful of reads and next to no CPU time.
  EXPECT_LT(cpuUsed, 100ms);
  EXPECT_LE(failedDuring, 10);
  EXPECT_TRUE(thread.Running());

  thread.Stop();  // wakes the back-off
  EXPECT_FALSE(thread.Running());
  EXPECT_TRUE(bursts.empty());
}

// A pulled USB adapter, played by closing the master: the window thread hears of it once, and
// the thread reads the dead line no more.
TEST_F(ReceiveThreadTest, AHungUpLineIsReportedLostOnceAndEndsTheThread) {
  auto thread = Start();
  ASSERT_TRUE(pty.Write({0x1B, 0x53, 0x07}));
  ASSERT_TRUE(PumpUntil([&] { return bursts.size() == 1; }));
  pty.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return losses == 1; }));
  EXPECT_TRUE(WaitFor([&] { return !thread->Running(); }));
  loop.PumpMessages();
  EXPECT_EQ(losses, 1);
  EXPECT_EQ(watch.Ended(ReadStatus::Lost), 1);
  EXPECT_EQ(watch.Ended(ReadStatus::Failed), 0);
  for (std::thread::id id : handlerThreads) EXPECT_EQ(id, std::this_thread::get_id());
  thread->Stop();
}

// The owner closes the port for reasons of its own (a port change) before the word of the loss
// has run: it is dropped.
TEST_F(ReceiveThreadTest, AStopBeforeTheLossIsHeardDropsIt) {
  auto thread = Start();
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return loop.PendingCount() == 1; }));
  thread->Stop();
  loop.PumpMessages();
  EXPECT_EQ(losses, 0);
}

TEST_F(ReceiveThreadTest, PortChangeEndsTheOldThreadBeforeTheNewOneReads) {
  PtyPair other;
  ASSERT_TRUE(other.Ok());
  PtyPair* lines[] = {&pty, &other};

  auto thread = Start();
  for (std::uint8_t change = 1; change <= 4; ++change) {
    PtyPair& next = *lines[change % 2];
    // What the window does on a port change.
    thread->Stop();
    EXPECT_FALSE(thread->Running());
    port.Close();
    ASSERT_TRUE(port.Open(next.SlavePath(), "115200,E,8,1"));
    thread = Start();  // the old, stopped object goes only now: it must leave the port alone

    const Bytes bytes = {0x1F, 0x2D, 0x53, change};
    ASSERT_TRUE(next.Write(bytes));
    ASSERT_TRUE(PumpUntil([&] { return bursts.size() == change; })) << int(change);
    EXPECT_EQ(bursts.back(), bytes);
  }
  thread->Stop();
  EXPECT_EQ(watch.MostAtOnce(), 1);  // never two threads reading one port
  for (std::thread::id id : handlerThreads) EXPECT_EQ(id, std::this_thread::get_id());
}

// The window thread stops the thread while it waits for its handler to be run: Stop must
// not wait for a message that only the window thread could run.
TEST_F(ReceiveThreadTest, StopWhileTheHandlerIsPendingDropsTheBurst) {
  auto thread = Start();
  ASSERT_TRUE(pty.Write({1, 2, 3}));
  ASSERT_TRUE(WaitFor([&] { return loop.PendingCount() == 1; }));

  thread->Stop();
  EXPECT_FALSE(thread->Running());
  loop.PumpMessages();  // the stale message runs and skips the handler
  EXPECT_TRUE(bursts.empty());
}

TEST_F(ReceiveThreadTest, StopFromInsideTheHandler) {
  std::unique_ptr<ReceiveThread> thread;
  onBurst = [&] { thread->Stop(); };  // a port change made while a reply is decoded
  thread = Start();
  ASSERT_TRUE(pty.Write({9}));
  ASSERT_TRUE(PumpUntil([&] { return !bursts.empty(); }));
  EXPECT_FALSE(thread->Running());
  EXPECT_EQ(bursts, (std::vector<Bytes>{{9}}));
}

TEST_F(ReceiveThreadTest, ClosingThePortUnderTheThreadEndsIt) {
  auto thread = Start();
  port.Close();
  EXPECT_TRUE(WaitFor([&] { return !thread->Running(); }));
  thread->Stop();
}

}  // namespace
}  // namespace kv218

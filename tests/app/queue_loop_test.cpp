#include "app/queue_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kv218 {
namespace {

using namespace std::chrono_literals;
constexpr auto kGuard = 5s;

// Waits for a condition that another thread brings about, sleeping in between.
bool WaitFor(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + kGuard;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class QueueLoopTest : public ::testing::Test {
 protected:
  // Handles messages on this (the window) thread until done; ticks keep the waits short.
  bool PumpUntil(const std::function<bool()>& done) {
    loop.SetTickTimer(true);
    const auto until = std::chrono::steady_clock::now() + kGuard;
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      loop.WaitForMessages();
    }
    return true;
  }

  QueueLoop loop{5ms};
};

TEST_F(QueueLoopTest, PostedMessagesRunOnTheWindowThreadInOrder) {
  constexpr int kCount = 200;
  std::vector<int> ran;
  std::vector<std::thread::id> threads;
  std::thread poster([&] {
    for (int i = 0; i < kCount; ++i) {
      loop.Post([&, i] {
        ran.push_back(i);
        threads.push_back(std::this_thread::get_id());
      });
    }
  });
  ASSERT_TRUE(PumpUntil([&] { return ran.size() == kCount; }));
  poster.join();
  for (int i = 0; i < kCount; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
  for (std::thread::id id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(QueueLoopTest, RunOnWindowThreadReturnsOnlyAfterTheFunctionRan) {
  std::atomic<bool> returned{false};
  bool returnedBeforeRun = true;
  bool ran = false;
  std::thread::id ranOn;
  bool result = false;
  std::thread caller([&] {
    result = loop.RunOnWindowThread([&] {
      returnedBeforeRun = returned.load();
      ranOn = std::this_thread::get_id();
      ran = true;
    });
    returned = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return ran; }));
  caller.join();
  EXPECT_TRUE(result);
  EXPECT_FALSE(returnedBeforeRun);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(QueueLoopTest, RunOnWindowThreadFromTheWindowThreadRunsAtOnce) {
  bool ran = false;
  EXPECT_TRUE(loop.RunOnWindowThread([&] { ran = true; }));
  EXPECT_TRUE(ran);
  EXPECT_EQ(loop.PendingCount(), 0u);
}

TEST_F(QueueLoopTest, AnotherThreadCanBecomeTheWindowThread) {
  std::atomic<bool> ready{false};
  std::atomic<bool> done{false};
  std::thread::id ranOn;
  std::thread window([&] {
    loop.BecomeWindowThread();
    ready = true;
    loop.SetTickTimer(true);
    while (!done) loop.WaitForMessages();
  });
  ASSERT_TRUE(WaitFor([&] { return ready.load(); }));
  EXPECT_FALSE(loop.IsWindowThread());
  EXPECT_TRUE(loop.RunOnWindowThread([&] { ranOn = std::this_thread::get_id(); }));
  EXPECT_EQ(ranOn, window.get_id());
  loop.Post([&] { done = true; });
  window.join();
}

TEST_F(QueueLoopTest, ShutdownReleasesBlockedCallersWithoutRunningThem) {
  constexpr int kCallers = 3;
  std::atomic<int> ran{0};
  std::vector<int> results(kCallers, -1);
  std::vector<std::thread> callers;
  for (int i = 0; i < kCallers; ++i) {
    callers.emplace_back([&, i] {
      results[static_cast<std::size_t>(i)] = loop.RunOnWindowThread([&] { ++ran; }) ? 1 : 0;
    });
  }
  ASSERT_TRUE(WaitFor([&] { return loop.PendingCount() == kCallers; }));
  loop.Shutdown();
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(results, std::vector<int>(kCallers, 0));

  // Later messages are refused, and a wait no longer blocks.
  loop.Post([&] { ++ran; });
  std::thread late([&] { EXPECT_FALSE(loop.RunOnWindowThread([&] { ++ran; })); });
  late.join();
  loop.WaitForMessages();
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(loop.PendingCount(), 0u);
}

TEST_F(QueueLoopTest, CallerIsReleasedWhenTheFunctionThrows) {
  std::thread caller([&] { loop.RunOnWindowThread([] { throw std::runtime_error("handler"); }); });
  ASSERT_TRUE(WaitFor([&] { return loop.PendingCount() == 1; }));
  EXPECT_THROW(loop.PumpMessages(), std::runtime_error);
  caller.join();  // would hang if the call were never marked done
}

TEST_F(QueueLoopTest, WaitForMessagesWakesOnATick) {
  int ticks = 0;
  loop.SetTickHandler([&] { ++ticks; });
  loop.SetTickTimer(true);
  loop.WaitForMessages();  // nothing is posted: only the tick can end the wait
  EXPECT_EQ(ticks, 1);
  loop.WaitForMessages();
  EXPECT_EQ(ticks, 2);
}

TEST_F(QueueLoopTest, TimerOffMeansNoTicks) {
  int ticks = 0;
  bool posted = false;
  loop.SetTickHandler([&] { ++ticks; });
  loop.SetTickTimer(true);
  loop.SetTickTimer(false);
  std::thread poster([&] {
    std::this_thread::sleep_for(30ms);  // several tick periods
    loop.Post([&] { posted = true; });
  });
  loop.WaitForMessages();
  poster.join();
  EXPECT_TRUE(posted);
  EXPECT_EQ(ticks, 0);
}

// A sequence waits inside a click handler: messages must run inside a message.
TEST_F(QueueLoopTest, HandlersMayPumpAgain) {
  std::vector<char> order;
  loop.Post([&] {
    order.push_back('a');
    loop.PumpMessages();
    order.push_back('c');
  });
  loop.Post([&] { order.push_back('b'); });
  loop.PumpMessages();
  EXPECT_EQ(order, (std::vector<char>{'a', 'b', 'c'}));
}

}  // namespace
}  // namespace kv218

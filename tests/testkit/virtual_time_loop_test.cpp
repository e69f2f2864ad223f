// The virtual-time loop that the sequence tests run on: time jumps to the next event.

#include "testkit/virtual_time_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kv218 {
namespace {

using Millis = std::chrono::milliseconds;

class VirtualTimeLoopTest : public ::testing::Test {
 protected:
  VirtualTimeLoopTest() {
    loop.SetTickHandler([this] { events.push_back("tick@" + std::to_string(loop.Now().count())); });
  }
  void Mark(const std::string& name) {
    loop.Post([this, name] { events.push_back(name); });
  }
  VirtualTimeLoop loop;
  std::vector<std::string> events;
};

TEST_F(VirtualTimeLoopTest, PumpRunsPendingMessagesInOrderWithoutMovingTime) {
  loop.SetTickTimer(true);
  Mark("a");
  Mark("b");
  loop.PumpMessages();
  loop.PumpMessages();  // nothing pending: no tick either
  EXPECT_EQ(events, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(loop.Now(), Millis(0));
  EXPECT_EQ(loop.TicksDelivered(), 0);
}

TEST_F(VirtualTimeLoopTest, WaitDeliversTheNextTickAtOnceWhenNothingIsPending) {
  loop.SetTickTimer(true);
  Mark("pending");
  for (int i = 0; i < 17; ++i) loop.WaitForMessages();
  ASSERT_EQ(events.size(), 17u);
  EXPECT_EQ(events.front(), "pending");  // pending messages go before time moves
  EXPECT_EQ(events[1], "tick@1000");
  EXPECT_EQ(events.back(), "tick@16000");
  EXPECT_EQ(loop.TicksDelivered(), 16);
}

TEST_F(VirtualTimeLoopTest, ScheduledMessagesInterleaveWithTicksByVirtualTime) {
  loop.SetTickTimer(true);
  loop.PostAfter(Millis(2500), [this] { events.push_back("late"); });
  loop.PostAfter(Millis(1000), [this] { events.push_back("with-first-tick"); });
  for (int i = 0; i < 4; ++i) loop.WaitForMessages();
  EXPECT_EQ(events,
            (std::vector<std::string>{"with-first-tick", "tick@1000", "tick@2000", "late"}));
  EXPECT_EQ(loop.Now(), Millis(2500));
}

TEST_F(VirtualTimeLoopTest, SwitchingOnARunningTimerKeepsItsPeriod) {
  loop.SetTickTimer(true);
  loop.Sleep(Millis(600));
  loop.SetTickTimer(true);  // no fresh period
  loop.WaitForMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"tick@1000"}));
  loop.SetTickTimer(false);
  loop.Sleep(Millis(300));
  loop.SetTickTimer(true);  // a fresh period from now
  loop.WaitForMessages();
  EXPECT_EQ(events.back(), "tick@2300");
}

TEST_F(VirtualTimeLoopTest, SleepIsBlockingAndLateTicksCoalesce) {
  loop.SetTickTimer(true);
  Mark("queued");
  loop.Sleep(Millis(3500));
  EXPECT_TRUE(events.empty());  // a sleep handles no message
  EXPECT_EQ(loop.SleepCalls(), 1);
  loop.WaitForMessages();  // the queued message
  loop.WaitForMessages();  // one overdue tick, not three
  loop.WaitForMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"queued", "tick@3500", "tick@4500"}));
}

TEST_F(VirtualTimeLoopTest, WaitBlocksUntilAnotherThreadPostsWhenNoEventIsAhead) {
  std::atomic<bool> posted{false};
  std::thread poster([&] {
    std::this_thread::sleep_for(Millis(20));
    posted = true;
    loop.Post([this] { events.push_back("from-thread"); });
  });
  loop.WaitForMessages();
  poster.join();
  EXPECT_TRUE(posted.load());
  EXPECT_EQ(events, (std::vector<std::string>{"from-thread"}));
}

TEST_F(VirtualTimeLoopTest, RunOnWindowThreadBlocksUntilRunAndRefusesAfterShutdown) {
  std::thread::id ranOn;
  bool returned = false;
  std::thread caller(
      [&] { returned = loop.RunOnWindowThread([&] { ranOn = std::this_thread::get_id(); }); });
  loop.WaitForMessages();
  caller.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  loop.Shutdown();
  bool ran = false;
  std::thread late([&] { returned = loop.RunOnWindowThread([&] { ran = true; }); });
  late.join();
  EXPECT_FALSE(returned);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace kv218

// The message loop over Qt: hand-overs from another thread, posted calls, Timer1, shutdown.

#include <QThread>
#include <QTimer>
#include <atomic>
#include <future>
#include <thread>

#include "qt_environment.h"
#include "ui/qt/qt_message_loop.h"

#include <gtest/gtest.h>

namespace kv218::test {
namespace {

class QtLoopTest : public testing::Test {
 protected:
  void SetUp() override { App(); }
  // Handles messages until done holds; each pass sleeps until something arrives.
  void WaitUntil(const std::atomic<bool>& done) {
    while (!done) loop.WaitForMessages();
  }

  QTimer timer;
  QtMessageLoop loop{timer};
};

TEST_F(QtLoopTest, HandOverRunsOnTheWindowThreadAndWaitsForIt) {
  QThread* const windowThread = QThread::currentThread();
  QThread* ranOn = nullptr;
  int value = 0;
  std::atomic<bool> finished{false};
  bool result = false;
  int seenAfterReturn = 0;
  std::thread receiver([&] {
    result = loop.RunOnWindowThread([&] {
      ranOn = QThread::currentThread();
      value = 42;
    });
    seenAfterReturn = value;  // the call has returned before the hand-over does
    finished = true;
    loop.Post([] {});  // wakes the window thread's wait
  });
  WaitUntil(finished);
  receiver.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(ranOn, windowThread);
  EXPECT_EQ(seenAfterReturn, 42);
}

TEST_F(QtLoopTest, HandOverOnTheWindowThreadRunsAtOnce) {
  bool ran = false;
  EXPECT_TRUE(loop.RunOnWindowThread([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST_F(QtLoopTest, PostedCallsRunInOrderWhenMessagesAreHandled) {
  std::vector<int> order;
  for (int i = 0; i < 3; ++i) loop.Post([&order, i] { order.push_back(i); });
  EXPECT_TRUE(order.empty());  // queued, not run
  loop.PumpMessages();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_F(QtLoopTest, ShutdownReleasesAWaitingThreadWithoutRunningItsCall) {
  std::atomic<bool> ran{false};
  std::promise<void> started;
  bool result = true;
  std::thread receiver([&] {
    started.set_value();
    result = loop.RunOnWindowThread([&] { ran = true; });
  });
  started.get_future().wait();
  // Whether the call was queued already or comes after: it must not run, and the thread
  // must not stay blocked.
  loop.Shutdown();
  receiver.join();
  QCoreApplication::processEvents();
  EXPECT_FALSE(result);
  EXPECT_FALSE(ran);
}

TEST_F(QtLoopTest, AfterShutdownNothingRuns) {
  loop.Shutdown();
  bool ran = false;
  EXPECT_FALSE(loop.RunOnWindowThread([&] { ran = true; }));
  std::thread other([&] { EXPECT_FALSE(loop.RunOnWindowThread([&] { ran = true; })); });
  other.join();
  loop.Post([&] { ran = true; });
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran);
}

TEST_F(QtLoopTest, Timer1TicksEverySecondOnceSwitchedOn) {
  EXPECT_FALSE(timer.isActive());
  int ticks = 0;
  loop.SetTickHandler([&] { ++ticks; });
  loop.SetTickTimer(true);
  ASSERT_TRUE(timer.isActive());
  EXPECT_EQ(timer.interval(), 1000);
  const int id = timer.timerId();
  loop.SetTickTimer(true);  // already running: the period goes on undisturbed
  EXPECT_EQ(timer.timerId(), id);
  while (ticks == 0) loop.WaitForMessages();
  EXPECT_EQ(ticks, 1);
  loop.SetTickTimer(false);
  EXPECT_FALSE(timer.isActive());
}

}  // namespace
}  // namespace kv218::test

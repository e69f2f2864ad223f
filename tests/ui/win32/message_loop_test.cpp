// The Win32 message loop: hand-overs from another thread, the release of a waiting thread at
// shutdown, a wait that sleeps until a message comes, and Timer1's ticks.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

#include "ui/win32/win32_message_loop.h"

namespace kv218::test {
namespace {

// Drains whatever the thread's queue holds before a case starts.
void Settle(Win32MessageLoop& loop) { loop.PumpMessages(); }

TEST(Win32MessageLoopTest, RunsAHandOverOnTheWindowThreadAndWaitsForIt) {
  Win32MessageLoop loop;
  Settle(loop);
  const DWORD windowThread = GetCurrentThreadId();
  DWORD ranOn = 0;
  bool result = false;
  std::thread receiver(
      [&] { result = loop.RunOnWindowThread([&] { ranOn = GetCurrentThreadId(); }); });
  while (ranOn == 0) loop.WaitForMessages();
  receiver.join();  // returns once the call has run
  EXPECT_TRUE(result);
  EXPECT_EQ(ranOn, windowThread);
  // On the window thread itself the call runs at once.
  bool direct = false;
  EXPECT_TRUE(loop.RunOnWindowThread([&] { direct = true; }));
  EXPECT_TRUE(direct);
}

TEST(Win32MessageLoopTest, ShutdownReleasesAThreadWaitingForAHandOverUnrun) {
  Win32MessageLoop loop;
  Settle(loop);
  bool ran = false;
  bool result = true;
  std::thread receiver([&] { result = loop.RunOnWindowThread([&] { ran = true; }); });
  // Waits until the hand-over's message is queued, without handling it.
  MSG queued;
  while (!PeekMessageW(&queued, loop.MessageWindow(), 0, 0, PM_NOREMOVE)) {
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_POSTMESSAGE, 0);
  }
  loop.Shutdown();
  receiver.join();
  EXPECT_FALSE(result);
  loop.PumpMessages();  // the dropped hand-over's message finds nothing to run
  EXPECT_FALSE(ran);
  EXPECT_FALSE(loop.RunOnWindowThread([&] { ran = true; }));
  EXPECT_FALSE(ran);
}

TEST(Win32MessageLoopTest, AWaitReturnsOnlyOnceAMessageHasCome) {
  Win32MessageLoop loop;
  Settle(loop);
  bool arrived = false;
  // The message comes late enough that a wait that did not sleep would return many times.
  std::thread sender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    loop.Post([&] { arrived = true; });
  });
  int waits = 0;
  while (!arrived) {
    loop.WaitForMessages();
    ++waits;
  }
  sender.join();
  EXPECT_EQ(waits, 1);
}

TEST(Win32MessageLoopTest, Timer1TicksAsMessagesWhileOnAndNotOnceOff) {
  Win32MessageLoop loop;
  Settle(loop);
  int ticks = 0;
  loop.SetTickHandler([&] { ++ticks; });
  loop.SetTickTimer(true);
  loop.SetTickTimer(true);  // switching on a running timer changes nothing
  while (ticks < 2) loop.WaitForMessages();
  loop.SetTickTimer(false);
  // Off: a later message is the only thing that ends the wait; no tick comes with it.
  std::thread sender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    loop.Post([] {});
  });
  loop.WaitForMessages();
  sender.join();
  loop.PumpMessages();
  EXPECT_EQ(ticks, 2);
}

}  // namespace
}  // namespace kv218::test

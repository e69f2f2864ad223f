#pragma once
// The window thread's message loop as the core sees it. A front end implements it over its
// toolkit (Qt: processEvents / WaitForMoreEvents / blocking queued call; Win32: PeekMessage /
// MsgWaitForMultipleObjects / SendMessage); the console and the tests use QueueLoop and
// VirtualTimeLoop. Header-only seam, like WindowOps.

#include <functional>

namespace kv218 {

class MessageLoop {
 public:
  virtual ~MessageLoop() = default;

  // Window thread: handles every pending message (ticks, bursts, clicks) and returns at once.
  virtual void PumpMessages() = 0;
  // Window thread: sleeps until at least one message has arrived and handles what is pending.
  // Never spins.
  virtual void WaitForMessages() = 0;
  // Any other thread: runs fn on the window thread and returns after fn has returned.
  // Returns false without running fn when the loop has been shut down.
  virtual bool RunOnWindowThread(const std::function<void()>& fn) = 0;
  // Any thread: queues fn to run on the window thread and returns at once.
  virtual void Post(std::function<void()> fn) = 0;

  // The tick timer: on starts a fresh 1000 ms period (switching on a running timer changes
  // nothing); each tick calls the tick handler on the window thread, as a message.
  virtual void SetTickTimer(bool on) = 0;
  virtual void SetTickHandler(std::function<void()> onTick) = 0;
};

}  // namespace kv218

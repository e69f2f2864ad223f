#pragma once
// RS232: the receive thread of one open port. It waits for input, reads one burst into its
// own buffer and has the window thread run the handler on it, waiting until the handler has
// returned before it reads again. It touches no shared state itself.
//
// Handing over: the thread posts a message to the window thread and then waits for either
// the handler's return or a stop request. So Stop never deadlocks, also when it is called on
// the window thread while the thread waits for its handler, or from inside the handler (a
// port change made while a reply is being decoded): the thread gives up the wait and ends,
// and a message that has not run yet by then skips the handler when it runs.
//
// A failed read makes ReadBurst return at once; the thread then backs off (100 ms, doubling
// up to 1 s) on a condition variable that Stop wakes, so it keeps the CPU idle and still stops
// promptly. A lost port (hung up, unplugged) is not read again: the thread has the window
// thread run the lost handler, once, and ends; whoever owns the port closes it and opens it
// anew when it is back.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "ground/message_loop.h"
#include "port/port_channel.h"

namespace kv218 {

inline constexpr std::chrono::milliseconds kFirstBackOff{100};
inline constexpr std::chrono::milliseconds kLongestBackOff{1000};

class ReceiveThread {
 public:
  // Runs on the window thread with the bytes of one burst (count >= 1).
  using Handler = std::function<void(const std::uint8_t* bytes, std::size_t count)>;
  // Runs on the window thread when the port is lost, unless a stop came first.
  using LostHandler = std::function<void()>;

  // Starts the thread at once on port, which must be open and stay alive (and not be reopened)
  // until Stop has returned. end, when given, ends a burst before the gap (it must outlive
  // the thread); without it only the gap does.
  ReceiveThread(PortChannel& port, MessageLoop& loop, Handler handler,
                const BurstEnd* end = nullptr, LostHandler onLost = {});
  ~ReceiveThread();  // Stop
  ReceiveThread(const ReceiveThread&) = delete;
  ReceiveThread& operator=(const ReceiveThread&) = delete;

  // Requests the stop, interrupts the port's read (which stays interrupted until the port's
  // next Open) and waits for the thread to end. Any thread but the receive thread; from a
  // thread other than the window thread it does not wait for a handler already running.
  // Calling it again, or after the thread ended by itself, touches the port no more.
  void Stop();
  // False once the thread has ended (a stop, a port that was closed under it, or lost).
  bool Running() const;
  // For measuring the thread (its CPU clock); only valid while it has not been joined.
  std::thread::native_handle_type NativeHandle();

 private:
  struct Shared;  // what a queued message may still need after Stop
  void Run();

  PortChannel& port_;
  MessageLoop& loop_;
  const BurstEnd* end_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace kv218

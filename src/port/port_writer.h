#pragma once
// The sending half of a POSIX port: a fixed 5000-byte queue and one thread that drains it
// into the descriptor. Enqueue copies the frame and returns at once, so the window thread
// never waits for the line, and the caller may refill its own buffer straight away. The
// thread writes from the queue in place; Enqueue only ever fills free space, so bytes being
// written are never altered.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace kv218 {

inline constexpr std::size_t kPortQueueBytes = 5000;

class PortWriter {
 public:
  PortWriter() = default;
  ~PortWriter();
  PortWriter(const PortWriter&) = delete;
  PortWriter& operator=(const PortWriter&) = delete;

  // Starts the thread on fd (a non-blocking descriptor the caller keeps open until Stop).
  // False when the thread's wake-up descriptor cannot be made.
  bool Start(int fd);
  // Stops the thread and discards whatever is still queued. Nothing when not started.
  void Stop();

  // Queues count bytes. A frame that does not fit into the free part of the queue is refused
  // whole (false) rather than cut: half a frame would only confuse the programmer. Also false
  // when not started or count is 0.
  bool Enqueue(const std::uint8_t* data, std::size_t count);
  // Waits until the queue is empty (written, or dropped on a failed line), or limit passed;
  // true when it is empty.
  bool WaitUntilEmpty(std::chrono::milliseconds limit);
  // Bytes queued and not yet handed to the line.
  std::size_t Queued();

 private:
  void Run();
  // Writes some of data[0..count) once the line takes it; the count written, or -1 when the
  // line failed or a stop was requested.
  long WriteSome(const std::uint8_t* data, std::size_t count);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable emptied_;  // the queue became empty
  std::array<std::uint8_t, kPortQueueBytes> queue_{};
  std::size_t head_ = 0;  // first byte not yet written
  std::size_t size_ = 0;  // bytes queued from head_ on (wrapping)
  bool stop_ = false;
  bool running_ = false;
  int fd_ = -1;
  int stopFd_ = -1;  // eventfd: ends a poll for writability when a stop is requested
  std::thread thread_;
};

}  // namespace kv218

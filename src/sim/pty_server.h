#pragma once
// The simulated programmer on a pseudo-terminal. The host opens the slave end (SlavePath(), or
// the symlink made at linkPath) like any serial port; a server thread reads the master end,
// feeds the device model, and writes its bursts paced at the emulated line rate.
//
// The line: 11 bits per byte (8E1), so at 115,200 baud a byte takes 95.5 us both ways; frames
// from the host are taken as arriving at that rate too, so an answer cannot leave before its
// frame would have been received. Each burst goes to the pty in one write, at the moment its
// last byte would have arrived on the line, and the next burst waits from the moment it was
// written: the run takes the line's time, and however late this thread is scheduled the
// host never finds a pause inside a burst. A burst never starts less than 50 ms after the one
// before, the device's own rule, so that a host that ends a read after 50 ms of silence reads
// each one on its own. "Unpaced" writes each burst as soon as it is due (the gaps are kept).
// For tests of the host's framing, Unsteady makes the line less tidy within that rule: a burst
// may start later than due and come in pieces with short pauses between them (only there, and
// with the pause-in-reply fault, is a burst written in more than one piece).
//
// The server keeps the slave end open itself, configured raw, for two reasons: the pty would
// otherwise hang up each time a host closes the port (and the master would read EIO until the
// next open), and the host's open then finds a sane line without echo or line editing.
// Holding it open also keeps a host's exclusive mode (TIOCEXCL) alive after that host has
// closed, which would refuse the next session's open; so the server watches the slave for
// closes (inotify) and lifts the exclusive mode after each one. A host's own lock (flock)
// still keeps a second host out while one is connected.
// The hang-up fault closes both ends: the host's port fails, and the server ends.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>

#include "sim/device_model.h"
#include "sim/wire_trace.h"

namespace kv218::sim {

// Pauses and delays drawn from a seeded generator, so that a run can be repeated exactly.
struct Unsteady {
  std::uint32_t seed = 0;
  std::chrono::milliseconds longestPause{0};  // within a burst; keep it well below 50 ms
  std::chrono::milliseconds longestDelay{0};  // added before a burst
};

struct LineOptions {
  std::uint32_t baud = 115200;
  bool unpaced = false;  // "max": bursts go out as fast as the pty takes them
  std::chrono::milliseconds minimumGap{50};
  Unsteady unsteady;
  std::string linkPath;        // a symlink to the slave, made at Start, removed at Stop
  WireTrace* trace = nullptr;  // optional; used by the server thread only
};

// Time one byte takes on the line at baud (11 bits: start, 8 data, parity, stop).
std::chrono::nanoseconds ByteTime(std::uint32_t baud);

class PtyServer {
 public:
  // model is used by the server thread only between Start and Stop.
  PtyServer(DeviceModel& model, LineOptions options);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Opens the pty pair and starts the server thread; false with error set when it cannot.
  bool Start(std::string& error);
  // Ends the server thread and closes the pty (removing the symlink). Safe to call twice.
  void Stop();

  const std::string& SlavePath() const { return slavePath_; }
  // Any thread: asks the programmer for a stand-alone run from its flash.
  void RequestStandaloneRun();
  // The hang-up fault has dropped the line; the server thread has ended or is ending.
  bool HungUp() const { return hungUp_; }
  // Any thread: blocks until the server thread ends by itself (hang-up) or Stop.
  void WaitUntilEnded();
  // Any thread: the longest time between two writes of one burst so far, zero while every
  // burst went out in one write. A host cannot have seen a longer pause inside a burst, so
  // a test that needs pauses below the gap can check that it got them.
  std::chrono::nanoseconds LongestPauseInBurst() const {
    return std::chrono::nanoseconds(longestPauseInBurst_.load(std::memory_order_relaxed));
  }

 private:
  using Clock = std::chrono::steady_clock;
  void Serve();
  void ReadHost(Clock::time_point now);
  void FeedPending();  // hands the model what it has room for
  void Schedule(Clock::time_point arrival);
  // Sends what is due of the front burst; returns when the next thing is due.
  bool SendDue(Clock::time_point now, Clock::time_point& next, bool& wantWritable);
  // Cuts the front burst into the pieces it is written in (one, unless Unsteady or the
  // burst's own pause ask for more) and draws its extra delay (Unsteady).
  void PrepareFront(Burst& burst);
  // Bytes of the front burst due by elapsed since its start (whole pieces); next becomes the
  // time the next piece is due.
  std::size_t BytesDue(const Burst& burst, Clock::duration elapsed, Clock::time_point& next) const;
  void NotePauseInBurst(Clock::duration pause);
  void Wake();
  void CloseLine();
  void HostClosed();  // lifts the exclusive mode the host may have left behind

  DeviceModel& model_;
  LineOptions options_;
  std::chrono::nanoseconds byteTime_{0};
  int master_ = -1;
  int slave_ = -1;  // held open: see above
  int wakeFd_ = -1;
  int closeWatch_ = -1;  // inotify on the slave path; -1 where not available
  std::string slavePath_;
  std::thread thread_;
  std::atomic<bool> stopRequested_ = false;
  std::atomic<int> runsRequested_ = 0;
  std::atomic<bool> hungUp_ = false;
  std::atomic<bool> ended_ = false;
  std::atomic<std::int64_t> longestPauseInBurst_ = 0;  // nanoseconds

  // Server thread only.
  std::size_t scheduled_ = 0;        // bursts at the front of the model's queue that have a time
  Clock::time_point lastEnd_{};      // when the last burst's last byte went out
  Clock::time_point plannedEnd_{};   // when the last scheduled burst will be out
  Clock::time_point inboundFree_{};  // when the host's bytes so far have arrived
  std::size_t sentOfFront_ = 0;      // bytes of the front burst already written
  Clock::time_point lastWrite_{};    // when the last write to the line returned
  struct Piece {
    std::size_t end = 0;  // the piece is the front burst's bytes up to here
    Clock::duration pauseAfter{};
  };
  static constexpr std::size_t kMostPieces = 4;
  std::array<Piece, kMostPieces> pieces_{};
  std::size_t pieceCount_ = 0;  // 0 until the front burst has been prepared
  std::minstd_rand random_;
  std::array<std::uint8_t, 4096> input_{};  // the host's bytes, [inputStart_, inputEnd_) not fed
  std::size_t inputStart_ = 0;
  std::size_t inputEnd_ = 0;
};

}  // namespace kv218::sim

#pragma once
// The one serial port a station talks through. POSIX (termios) and Win32 implement it;
// the simulated programmer offers an in-process one. The window thread opens, sends and
// closes; the receive thread alone calls ReadBurst.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv218 {

// Bytes of the largest burst one read takes (RxBuffer holds one more).
inline constexpr std::size_t kMaxBurst = 4999;

enum class ReadStatus {
  Burst,        // count bytes arrived, cut at the first gap of more than 50 ms (of more than
                // a second inside a reply the caller's BurstEnd awaits), at capacity, or where
                // that BurstEnd found them whole
  Interrupted,  // InterruptRead was called (or the port is closed)
  Failed,       // the read failed for a while; the caller backs off before trying again
  Lost,         // the port is gone (the line hung up, the adapter was pulled): reading again
                // will not bring it back, only closing it and opening its path anew
};

// How the bytes read so far stand as a burst.
enum class BurstSoFar {
  Open,      // where it ends is not known: the gap ends it
  Awaiting,  // a reply whose head told its length, and not all of its bytes are here yet
  Whole,     // complete: handed over at once
};

// Judges the bytes read so far; a port that asks it hands a whole burst over at once instead
// of waiting for the gap, and bears a longer pause inside a reply it awaits (burst_wait.h). It
// sees the burst from its first byte on and must not call it whole while more bytes may still
// belong to it. The receive thread calls it; it must be safe there.
class BurstEnd {
 public:
  virtual BurstSoFar Judge(const std::uint8_t* bytes, std::size_t count) const = 0;

 protected:
  ~BurstEnd() = default;
};

// Why a port did not open. The window only shows "N/A"; the command line tells the operator.
enum class OpenError {
  None,              // it opened, or the port does not say
  NoSuchDevice,      // nothing at that path, or the device is gone
  PermissionDenied,  // the user may not open the device
  Busy,              // another program (or another port object) holds it
  NotASerialDevice,  // a file, a folder, a pipe, or a device that is no terminal
  Other,             // systemError says what
};

struct OpenFailure {
  OpenError reason = OpenError::None;
  int systemError = 0;  // the system's error number behind it, 0 when there is none
};

class PortChannel {
 public:
  virtual ~PortChannel() = default;

  // OpenComPort: opens path exclusively and applies the line-settings text ("115200,E,8,1"
  // or "baud=115200 parity=E data=8 stop=1"). A text it cannot read leaves the line settings
  // as they were; the port still counts as open. False when the device cannot be opened.
  virtual bool Open(const std::string& path, const std::string& settings) = 0;
  // Why the last Open returned false.
  virtual OpenFailure LastOpenFailure() const { return {}; }
  // CloseComPort: discards both directions and closes; nothing when not open.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // TxSend: starts sending count bytes and returns at once; the bytes are copied, so the
  // caller may refill its buffer immediately. False when nothing could be started.
  virtual bool Send(const std::uint8_t* data, std::size_t count) = 0;

  // Window thread: waits until every byte handed to Send has left for the line, or limit has
  // passed; true when nothing is left. A port that knows its line rate waits no longer than
  // the queued bytes need at that rate plus a small margin, so a dead line cannot hold the
  // window for the whole limit. Close discards what is still queued, so whoever must get a
  // last frame out (EndRun at the end of a run) drains first. Ports that send at once have
  // nothing to wait for.
  virtual bool Drain(std::chrono::milliseconds limit) {
    (void)limit;
    return true;
  }

  // Receive thread only: blocks until one burst has been read into buffer (at most capacity
  // bytes), the read is interrupted, or the line fails or is lost. A burst ends where
  // NextByteWait (burst_wait.h) says: at the gap, after the longer pause a reply end awaits, at
  // capacity, or as soon as end (when given) calls it whole; bytes that arrived before a failure
  // or a loss still come as a burst, and the next call reports it.
  virtual ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                               const BurstEnd* end) = 0;
  // Any thread: makes a blocked or later ReadBurst return Interrupted at once, until the next
  // Open.
  virtual void InterruptRead() = 0;
};

}  // namespace kv218

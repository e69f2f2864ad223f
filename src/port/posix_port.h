#pragma once
// PortChannel over a POSIX terminal device (a serial port, a USB adapter, a pseudo-terminal).
//
// Open: terminal devices only (a file, folder or pipe named as the port is never opened for
// writing, nor is a device that tcgetattr does not know); exclusive (flock, so a second open
// fails also inside this process, and TIOCEXCL against other processes), non-blocking, not a
// controlling terminal; raw binary line without
// flow control, DTR and RTS inactive, both directions purged. The settings text is applied to
// the line's current settings; a text it cannot read leaves them as they were.
// Send: the frame is copied into the port's own 5000-byte queue and a writer thread drains
// it; a frame that does not fit into the free part of the queue is refused whole.
// ReadBurst: waits on the line and on a wake-up descriptor; after the first byte it goes on
// reading until the line has been silent for as long as NextByteWait allows (the 50 ms gap,
// longer inside an awaited reply), the buffer is full, or the caller's BurstEnd calls what
// arrived whole. A hang-up, end of file or read error means the line is lost (the descriptor
// is dead; the device may come back under its path).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "port/line_settings.h"
#include "port/port_channel.h"
#include "port/port_writer.h"

namespace kv218 {

// "\\.\COMn" names /dev/ttyS(n-1); any other path is used unchanged.
std::string PosixDevicePath(const std::string& path);

// The reason an error number of open, flock, ioctl or tcgetattr stands for.
OpenFailure OpenFailureOf(int systemError);

class PosixPort : public PortChannel {
 public:
  PosixPort();
  ~PosixPort() override;
  PosixPort(const PosixPort&) = delete;
  PosixPort& operator=(const PosixPort&) = delete;

  bool Open(const std::string& path, const std::string& settings) override;
  OpenFailure LastOpenFailure() const override { return lastFailure_; }
  // Safe while the receive thread is inside ReadBurst: that read is woken and ends first.
  void Close() override;
  bool IsOpen() const override;
  bool Send(const std::uint8_t* data, std::size_t count) override;
  // The queue written out, then the line's own output buffer (tcdrain); no longer than the
  // bytes still queued (here and in the driver) need at the line's rate, plus kDrainMargin.
  bool Drain(std::chrono::milliseconds limit) override;
  ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                       const BurstEnd* end) override;
  void InterruptRead() override;

 private:
  ReadStatus ReadFrom(int fd, std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                      const BurstEnd* end);
  void WakeReaders();  // with mutex_ held
  // Opens and checks the device; -1 with lastFailure_ set when it is refused.
  int OpenTerminal(const std::string& device);

  mutable std::mutex mutex_;
  std::condition_variable readerLeft_;
  int fd_ = -1;
  int wakeFd_ = -1;           // eventfd, lives as long as the object; set = reads interrupted
  bool interrupted_ = false;  // sticky until the next Open
  int readers_ = 0;           // ReadBurst calls in progress on fd_
  std::uint32_t baud_ = 0;    // the line's rate as opened; 0 when it could not be read
  int bitsPerByte_ = 0;
  PortWriter writer_;
  OpenFailure lastFailure_;  // window thread only, like Open
};

}  // namespace kv218

#pragma once
// PortChannel over a Windows COM port (kernel32's serial communication calls).
//
// Open: CreateFileA exclusive (share mode 0) and overlapped; the line from GetCommState with
// the settings text applied by BuildCommDCBA, then no flow control, DTR and RTS inactive,
// binary, no error character (ForceLineFlags); both directions purged; a 50 ms read interval
// and no total time-outs; 5000-byte queues. A named semaphore per port name adds exclusive
// ownership among our own programs where the system does not enforce the share mode (Wine).
// A device that opens but is no serial port (GetCommState fails: a file, a pipe) is refused.
// Send: the frame is copied into a free write slot, each with its own buffer and OVERLAPPED,
// and WriteFile is started; the caller may refill its buffer at once.
// ReadBurst: WaitCommEvent for EV_RXCHAR, then one overlapped ReadFile, which the interval
// time-out ends at the first gap of more than 50 ms (or when the buffer is full). With a
// BurstEnd the burst is read piece by piece instead (what the driver holds, then one byte
// awaited for as long as NextByteWait allows: 50 ms, longer inside an awaited reply), so that
// a whole reply is handed over at once and a pause inside one does not cut it. Every wait
// also waits on a stop event; a stop cancels the pending call with CancelIoEx. A call that
// fails with an error of a removed device, or after which the handle no longer answers
// ClearCommError, means the port is lost.

#include <windows.h>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "port/burst_wait.h"
#include "port/port_channel.h"

namespace kv218 {

// Read interval time-out of silence framing: a read ends once the line has been silent for the
// gap.
inline constexpr DWORD kReadIntervalMs = static_cast<DWORD>(kBurstGap.count());
// Input and output queue sizes requested from the driver.
inline constexpr DWORD kQueueBytes = 5000;
// Frames that may be in flight at once; each slot holds the largest frame.
inline constexpr std::size_t kWriteSlots = 4;
inline constexpr std::size_t kWriteSlotBytes = 5000;

// The flags the port always runs with, whatever the settings text or the port had: binary, no
// hardware or software flow control, DTR and RTS inactive, no error or NUL handling, no abort
// on a line error. fParity and the other fields are left alone.
void ForceLineFlags(DCB& dcb);

// The line for settings applied to current: current with BuildCommDCBA's reading of settings
// and the forced flags. A text BuildCommDCBA refuses leaves current's line settings as they
// were (the flags are forced all the same).
DCB LineFor(const DCB& current, const std::string& settings);

// The name that makes two spellings of one port ("COM5", "\\.\com5") the same owner.
std::string PortOwnerName(const std::string& path);

class Win32Port : public PortChannel {
 public:
  Win32Port();
  ~Win32Port() override;
  Win32Port(const Win32Port&) = delete;
  Win32Port& operator=(const Win32Port&) = delete;

  bool Open(const std::string& path, const std::string& settings) override;
  OpenFailure LastOpenFailure() const override { return lastFailure_; }
  // Safe while the receive thread is inside ReadBurst: that read is cancelled and ends first.
  void Close() override;
  bool IsOpen() const override;
  bool Send(const std::uint8_t* data, std::size_t count) override;
  // Waits no longer than the frames in flight need at the line's rate plus kDrainMargin.
  bool Drain(std::chrono::milliseconds limit) override;
  ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                       const BurstEnd* end) override;
  void InterruptRead() override;

 private:
  struct WriteSlot {
    std::array<std::uint8_t, kWriteSlotBytes> bytes{};
    OVERLAPPED overlapped{};
    HANDLE done = nullptr;  // manual-reset event, lives as long as the object
    std::size_t count = 0;  // bytes of the write in flight
    bool busy = false;
  };
  enum class Wait { Done, Stopped, TimedOut, Error };

  ReadStatus ReadFrom(HANDLE port, std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                      const BurstEnd* end);
  // One overlapped ReadFile of up to want bytes, waited for up to waitMs; a read the time or a
  // stop cuts short is cancelled, and transferred still counts what it took. error tells why
  // an Error failed.
  Wait Read(HANDLE port, std::uint8_t* buffer, std::size_t want, DWORD waitMs, DWORD& transferred,
            DWORD& error);
  // A read that failed without a stop of ours: Lost when the device is gone, else Failed.
  ReadStatus Failure(HANDLE port, DWORD error);
  // Completes an overlapped call on port that returned started; transferred gets its count.
  // Stopped when the stop event came first (the call is cancelled and waited for).
  Wait Complete(HANDLE port, BOOL started, OVERLAPPED& overlapped, DWORD& transferred,
                DWORD& error);
  // A busy slot whose write has ended becomes free (with mutex_ held).
  void Reap(WriteSlot& slot);
  bool Interrupted() const;

  mutable std::mutex mutex_;
  std::condition_variable readerLeft_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
  HANDLE owner_ = nullptr;     // the named semaphore held while open
  HANDLE stop_ = nullptr;      // manual-reset event: set = reads interrupted, until Open
  HANDLE readDone_ = nullptr;  // manual-reset event of the receive side's OVERLAPPED
  bool interrupted_ = false;
  std::uint32_t baud_ = 0;  // the line as opened, for Drain's bound
  int bitsPerByte_ = 0;
  OpenFailure lastFailure_;  // window thread only, like Open
  int readers_ = 0;
  std::array<WriteSlot, kWriteSlots> slots_{};
};

}  // namespace kv218

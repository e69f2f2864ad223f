#include "port/win32_port.h"

#include <algorithm>
#include <chrono>

#include "port/line_settings.h"
#include "port/system_port.h"

namespace kv218 {

std::unique_ptr<PortChannel> MakeSystemPort() { return std::make_unique<Win32Port>(); }

// Windows opens "\\.\COMn" and "COMn" itself.
std::string SystemDevicePath(const std::string& path) { return path; }

// Windows has no device groups to join.
std::string SystemDeviceGroup(const std::string&) { return {}; }

namespace {

OpenFailure OpenFailureOf(DWORD systemError) {
  const int number = static_cast<int>(systemError);
  switch (systemError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      return {OpenError::NoSuchDevice, number};
    // A COM port that another program holds answers "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return {OpenError::Busy, number};
    default:
      return {OpenError::Other, number};
  }
}

// What a COM port's calls fail with once the device behind the handle is gone: a pulled USB
// adapter (access denied, bad command, not connected, removed, depending on the driver), a
// line whose other end closed (a broken pipe under Wine).
bool DeviceGone(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BROKEN_PIPE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return true;
    default:
      return false;
  }
}

// Bits on the wire per character: start, data, parity and stop bits (1.5 counted as 2).
int BitsPerByte(const DCB& line) {
  return 1 + line.ByteSize + (line.Parity == NOPARITY ? 0 : 1) +
         (line.StopBits == ONESTOPBIT ? 1 : 2);
}

}  // namespace

void ForceLineFlags(DCB& dcb) {
  dcb.fBinary = 1;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 0;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = 0;
}

DCB LineFor(const DCB& current, const std::string& settings) {
  DCB line = current;
  line.DCBlength = sizeof(DCB);
  DCB built = line;
  if (BuildCommDCBA(settings.c_str(), &built)) line = built;
  ForceLineFlags(line);
  return line;
}

std::string PortOwnerName(const std::string& path) {
  std::string name = path;
  const std::string local = "\\\\.\\";
  if (name.compare(0, local.size(), local) == 0) name.erase(0, local.size());
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == '\\') c = '/';  // a backslash would name a namespace
  }
  return "kv218-port-" + name;
}

Win32Port::Win32Port()
    : stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      readDone_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  for (WriteSlot& slot : slots_) slot.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

Win32Port::~Win32Port() {
  Close();
  for (WriteSlot& slot : slots_) {
    if (slot.done) CloseHandle(slot.done);
  }
  if (readDone_) CloseHandle(readDone_);
  if (stop_) CloseHandle(stop_);
}

bool Win32Port::Open(const std::string& path, const std::string& settings) {
  Close();
  lastFailure_ = {OpenError::Other, 0};
  if (!stop_ || !readDone_) return false;
  for (const WriteSlot& slot : slots_) {
    if (!slot.done) return false;
  }
  // Share mode 0 makes the port exclusive on Windows; the semaphore keeps our own programs
  // apart also where the share mode is not enforced.
  HANDLE owner = CreateSemaphoreA(nullptr, 1, 1, PortOwnerName(path).c_str());
  if (!owner) {
    lastFailure_ = OpenFailureOf(GetLastError());
    return false;
  }
  if (WaitForSingleObject(owner, 0) != WAIT_OBJECT_0) {
    CloseHandle(owner);
    lastFailure_ = {OpenError::Busy, 0};
    return false;
  }
  const auto refuse = [&](OpenFailure failure) {
    ReleaseSemaphore(owner, 1, nullptr);
    CloseHandle(owner);
    lastFailure_ = failure;
    return false;
  };
  HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (port == INVALID_HANDLE_VALUE) return refuse(OpenFailureOf(GetLastError()));
  // Only a serial device has a line: a file or a pipe opened by mistake is never written to.
  DCB current{};
  current.DCBlength = sizeof(DCB);
  if (!GetCommState(port, &current)) {
    const DWORD error = GetLastError();
    CloseHandle(port);
    return refuse({OpenError::NotASerialDevice, static_cast<int>(error)});
  }

  // Once the device is open the port counts as open; the results below are not examined.
  DCB line = LineFor(current, settings);
  SetCommState(port, &line);
  DCB applied = line;
  applied.DCBlength = sizeof(DCB);
  GetCommState(port, &applied);
  PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR);
  PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR);
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = kReadIntervalMs;
  SetCommTimeouts(port, &timeouts);
  SetupComm(port, kQueueBytes, kQueueBytes);

  std::lock_guard lock(mutex_);
  ResetEvent(stop_);
  interrupted_ = false;
  port_ = port;
  owner_ = owner;
  baud_ = static_cast<std::uint32_t>(applied.BaudRate);
  bitsPerByte_ = BitsPerByte(applied);
  lastFailure_ = {};
  return true;
}

void Win32Port::Close() {
  HANDLE port = INVALID_HANDLE_VALUE;
  HANDLE owner = nullptr;
  {
    std::unique_lock lock(mutex_);
    if (port_ == INVALID_HANDLE_VALUE) return;
    interrupted_ = true;
    SetEvent(stop_);
    readerLeft_.wait(lock, [this] { return readers_ == 0; });
    port = port_;
    owner = owner_;
    port_ = INVALID_HANDLE_VALUE;
    owner_ = nullptr;
    PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR);
    PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR);
    // A write's buffer and OVERLAPPED must outlive it: cancel what the purge left and wait.
    for (WriteSlot& slot : slots_) {
      if (!slot.busy) continue;
      CancelIoEx(port, &slot.overlapped);
      DWORD written = 0;
      GetOverlappedResult(port, &slot.overlapped, &written, TRUE);
      slot.busy = false;
    }
  }
  CloseHandle(port);
  ReleaseSemaphore(owner, 1, nullptr);
  CloseHandle(owner);
}

bool Win32Port::IsOpen() const {
  std::lock_guard lock(mutex_);
  return port_ != INVALID_HANDLE_VALUE;
}

void Win32Port::Reap(WriteSlot& slot) {
  if (!slot.busy || !HasOverlappedIoCompleted(&slot.overlapped)) return;
  DWORD written = 0;
  GetOverlappedResult(port_, &slot.overlapped, &written, FALSE);
  slot.busy = false;
}

bool Win32Port::Send(const std::uint8_t* data, std::size_t count) {
  std::lock_guard lock(mutex_);
  if (port_ == INVALID_HANDLE_VALUE || count == 0 || count > kWriteSlotBytes) return false;
  for (WriteSlot& slot : slots_) Reap(slot);
  const auto free =
      std::find_if(slots_.begin(), slots_.end(), [](const WriteSlot& slot) { return !slot.busy; });
  if (free == slots_.end()) return false;  // the line is this far behind: refuse the frame whole
  WriteSlot& slot = *free;
  std::copy_n(data, count, slot.bytes.begin());
  slot.count = count;
  slot.overlapped = OVERLAPPED{};
  slot.overlapped.hEvent = slot.done;
  if (!WriteFile(port_, slot.bytes.data(), static_cast<DWORD>(count), nullptr, &slot.overlapped) &&
      GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  slot.busy = true;
  return true;
}

bool Win32Port::Drain(std::chrono::milliseconds limit) {
  std::array<HANDLE, kWriteSlots> pending{};
  DWORD n = 0;
  std::size_t bytes = 0;
  {
    std::lock_guard lock(mutex_);
    if (port_ == INVALID_HANDLE_VALUE) return false;
    for (WriteSlot& slot : slots_) {
      Reap(slot);
      if (!slot.busy) continue;
      pending[n++] = slot.done;
      bytes += slot.count;
    }
    // A line that takes nothing (held by flow control, a dead adapter) costs this much and no
    // more.
    if (baud_ > 0) limit = std::min(limit, LineTime(bytes, baud_, bitsPerByte_) + kDrainMargin);
  }
  if (n == 0) return true;
  return WaitForMultipleObjects(n, pending.data(), TRUE, static_cast<DWORD>(limit.count())) <
         WAIT_OBJECT_0 + n;
}

void Win32Port::InterruptRead() {
  std::lock_guard lock(mutex_);
  interrupted_ = true;
  SetEvent(stop_);
}

bool Win32Port::Interrupted() const {
  std::lock_guard lock(mutex_);
  return interrupted_;
}

ReadStatus Win32Port::ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                                const BurstEnd* end) {
  count = 0;
  HANDLE port = INVALID_HANDLE_VALUE;
  {
    std::lock_guard lock(mutex_);
    if (port_ == INVALID_HANDLE_VALUE || interrupted_) return ReadStatus::Interrupted;
    port = port_;
    ++readers_;
  }
  const ReadStatus status = ReadFrom(port, buffer, std::min(capacity, kMaxBurst), count, end);
  {
    std::lock_guard lock(mutex_);
    --readers_;
  }
  readerLeft_.notify_all();
  return status;
}

ReadStatus Win32Port::Failure(HANDLE port, DWORD error) {
  if (DeviceGone(error)) return ReadStatus::Lost;
  // A pulled adapter may first abort the pending call (ERROR_OPERATION_ABORTED, which no stop
  // of ours caused); whether the handle still answers tells a lost port from a passing fault.
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(port, &errors, &status)) return ReadStatus::Lost;
  return ReadStatus::Failed;
}

Win32Port::Wait Win32Port::Complete(HANDLE port, BOOL started, OVERLAPPED& overlapped,
                                    DWORD& transferred, DWORD& error) {
  transferred = 0;
  error = ERROR_SUCCESS;
  if (!started) {
    error = GetLastError();
    if (error != ERROR_IO_PENDING) return Wait::Error;
    error = ERROR_SUCCESS;
    const HANDLE events[2] = {overlapped.hEvent, stop_};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
      // A new event mask ends a pending WaitCommEvent at once. Wine cannot cancel the wait on
      // a real UART (its event thread polls the driver's counters and never sees the cancel),
      // so without this the wait for its end below never returned and a port change or close
      // hung the window.
      SetCommMask(port, 0);
      CancelIoEx(port, &overlapped);
      GetOverlappedResult(port, &overlapped, &transferred, TRUE);
      return Wait::Stopped;
    }
  }
  if (!GetOverlappedResult(port, &overlapped, &transferred, FALSE)) {
    error = GetLastError();
    return Wait::Error;
  }
  return Wait::Done;
}

ReadStatus Win32Port::ReadFrom(HANDLE port, std::uint8_t* buffer, std::size_t capacity,
                               std::size_t& count, const BurstEnd* end) {
  if (capacity == 0) return ReadStatus::Burst;
  OVERLAPPED overlapped{};
  overlapped.hEvent = readDone_;
  DWORD transferred = 0;
  DWORD error = ERROR_SUCCESS;

  // Wait for the first character. Windows completes the wait with EV_RXCHAR; Wine also
  // completes it every few milliseconds while the line is idle (error 995, or an empty mask).
  // Either way a read follows that stays pending until a byte arrives, so neither platform
  // turns the idle line into a busy loop.
  // Bytes already queued (what followed a reply handed over early) raise no new EV_RXCHAR:
  // the mask is set first, so that a byte arriving after the look at the queue still ends
  // the wait.
  SetCommMask(port, EV_RXCHAR);
  DWORD errors = 0;
  COMSTAT status{};
  ClearCommError(port, &errors, &status);  // line errors are not looked at
  if (status.cbInQue == 0) {
    DWORD mask = 0;
    const Wait waited =
        Complete(port, WaitCommEvent(port, &mask, &overlapped), overlapped, transferred, error);
    if (waited == Wait::Stopped || Interrupted()) return ReadStatus::Interrupted;
    if (waited == Wait::Error && error != ERROR_OPERATION_ABORTED) return Failure(port, error);
  } else if (Interrupted()) {
    return ReadStatus::Interrupted;
  }

  if (end == nullptr) {
    // One burst: the read interval time-out ends it at the first gap of more than 50 ms.
    const Wait read = Read(port, buffer, capacity, INFINITE, transferred, error);
    count = transferred;
    if (count > 0) return ReadStatus::Burst;  // a stop keeps the bytes taken; the next call ends
    if (read == Wait::Stopped || Interrupted()) return ReadStatus::Interrupted;
    // A failed or hung-up line (error 109), or a read that ended empty.
    return Failure(port, read == Wait::Error ? error : ERROR_SUCCESS);
  }

  // The burst piece by piece, so that it is handed over as soon as end finds it whole: what
  // the driver holds is taken at once, and the next byte is waited for until the line has
  // been silent for as long as NextByteWait allows (the gap, longer inside an awaited reply).
  auto lastByte = std::chrono::steady_clock::now();
  std::chrono::milliseconds allowed = kBurstGap;
  while (count < capacity) {
    DWORD want = 1;
    DWORD waitMs = INFINITE;  // the first byte: as long as it takes
    if (ClearCommError(port, &errors, &status) && status.cbInQue > 0) {
      want = static_cast<DWORD>(std::min<std::size_t>(status.cbInQue, capacity - count));
    } else if (count > 0) {
      const auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - lastByte);
      if (silent >= allowed) break;
      waitMs = static_cast<DWORD>((allowed - silent).count());
    }
    const Wait read = Read(port, buffer + count, want, waitMs, transferred, error);
    count += transferred;
    if (transferred > 0) {
      lastByte = std::chrono::steady_clock::now();
      const auto wait = NextByteWait(end, buffer, count);
      if (!wait) break;  // a whole reply
      allowed = *wait;
    }
    if (read == Wait::TimedOut) continue;  // the loop tells whether the silence has lasted
    if (read == Wait::Stopped || Interrupted()) {
      return count > 0 ? ReadStatus::Burst : ReadStatus::Interrupted;
    }
    if (read == Wait::Error || transferred == 0) {
      if (count > 0) return ReadStatus::Burst;
      return Failure(port, read == Wait::Error ? error : ERROR_SUCCESS);
    }
  }
  return ReadStatus::Burst;
}

Win32Port::Wait Win32Port::Read(HANDLE port, std::uint8_t* buffer, std::size_t want, DWORD waitMs,
                                DWORD& transferred, DWORD& error) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = readDone_;
  transferred = 0;
  error = ERROR_SUCCESS;
  if (ReadFile(port, buffer, static_cast<DWORD>(want), nullptr, &overlapped)) {
    GetOverlappedResult(port, &overlapped, &transferred, FALSE);
    return Wait::Done;
  }
  error = GetLastError();
  if (error != ERROR_IO_PENDING) return Wait::Error;
  error = ERROR_SUCCESS;
  const HANDLE events[2] = {readDone_, stop_};
  const DWORD woke = WaitForMultipleObjects(2, events, FALSE, waitMs);
  if (woke == WAIT_OBJECT_0) {
    if (GetOverlappedResult(port, &overlapped, &transferred, FALSE)) return Wait::Done;
    error = GetLastError();
    return Wait::Error;
  }
  // Stopped, or the gap came first: the read is cancelled and waited for, and keeps what
  // arrived in the meantime.
  CancelIoEx(port, &overlapped);
  GetOverlappedResult(port, &overlapped, &transferred, TRUE);
  return woke == WAIT_TIMEOUT ? Wait::TimedOut : Wait::Stopped;
}

}  // namespace kv218

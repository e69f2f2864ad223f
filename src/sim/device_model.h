#pragma once
// The simulated KV-218 programmer, without any line: fed the host's bytes as they arrive, it
// answers every command the host waits for with exactly one reply in one burst, keeps the
// target and flash memories, and runs stand-alone programming runs on request. Its output is
// a queue of bursts, each with the operation time before it; a transport paces them on a line
// (PtyServer), the in-process port hands them over at once (InProcessPort).
// Not thread-safe: one thread feeds it and drains its output.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "sim/burst.h"
#include "sim/device_memory.h"
#include "sim/fault_set.h"
#include "sim/frame_assembler.h"
#include "sim/frame_grammar.h"

namespace kv218::sim {

struct DeviceOptions {
  std::chrono::milliseconds eraseTime{1500};       // a bulk erase, target or flash
  std::chrono::milliseconds programTime{20};       // one written block, target or flash
  bool factorySetting = false;                     // QueryInfo answers "-S" instead of a note
  std::string note = "W 1.85 (simulated KV-218)";  // QueryInfo's text after '-' 'F'
  FaultSet faults;
};

// The host gives up after 6 s (target) or 16 s (flash) without a byte; a longer operation
// sends a keep-alive byte, which starts no reply, at these intervals.
inline constexpr std::chrono::milliseconds kTargetKeepAlive{3000};
inline constexpr std::chrono::milliseconds kFlashKeepAlive{12000};
inline constexpr std::uint8_t kKeepAliveByte = 0x00;
// Operation times above this are cut to it, so that the keep-alives fit the output queue.
inline constexpr std::chrono::milliseconds kLongestOperation{60000};
// The most bursts one frame can cause: its keep-alives and its answer.
inline constexpr std::size_t kMostBurstsPerFrame = kLongestOperation / kTargetKeepAlive + 1;

// Identity values: the host accepts type 0 when the first word is 0x00BF, types 1 and 2 when
// the second byte is 0x1C and the first has bit 0x20.
inline constexpr std::uint8_t kIdentity0[4] = {0xBF, 0x00, 0x18, 0x21};
inline constexpr std::uint8_t kBadIdentity0[4] = {0x00, 0x01, 0x00, 0x00};
inline constexpr std::uint8_t kIdentity16[2] = {0x24, 0x1C};
inline constexpr std::uint8_t kBadIdentity16[2] = {0x1F, 0x1C};
inline constexpr std::uint8_t kNoise[2] = {0x55, 0xAA};

class DeviceModel {
 public:
  explicit DeviceModel(DeviceOptions options = {});

  // Takes bytes from the host as they arrive and queues the answers of completed frames.
  // Returns the bytes taken: it stops early, before a frame whose answers might not fit the
  // output queue any more; the caller drains the output and feeds the rest.
  std::size_t Feed(const std::uint8_t* data, std::size_t count);
  // A stand-alone run: programs the target of the flash image's type from the flash and
  // queues the status reports 1B 53 n of the run.
  void StartStandaloneRun();

  BurstQueue& Output() { return output_; }
  DeviceMemory& Memory() { return memory_; }
  const DeviceMemory& Memory() const { return memory_; }
  const DeviceOptions& Options() const { return options_; }
  // Applies the erase-counter fault; call after loading a saved state.
  void ApplyStartFaults();

  // Called with every complete frame before it is handled (the wire trace).
  void SetFrameObserver(std::function<void(const Frame&)> observer) {
    observer_ = std::move(observer);
  }
  std::size_t FramesHandled() const { return framesHandled_; }
  std::size_t DroppedBytes() const { return assembler_.DroppedBytes(); }

 private:
  struct Counters {
    std::size_t type0WriteBlocks = 0;  // program blocks since the last write start
    std::size_t type0WriteRow = 0;
    std::uint32_t type0ReadAddress = 0;  // program address, two units per 24-bit word
    std::size_t writeRow16[2] = {0, 0};
    std::size_t readRow16[2] = {0, 0};
    bool readBackStarted[3] = {false, false, false};  // first data block still to come
    std::size_t flashWriteRow = 0;
    std::size_t blockFrames = 0;  // block frames of the session (hang-up fault)
    std::size_t dataAnswers = 0;  // read-back data answers (status-in-data fault)
    bool hungUp = false;
  };

  // The layout of one answer under construction, for the faults that bend it.
  struct Reply {
    Burst* burst = nullptr;
    std::size_t payloadStart = 0;
  };

  std::size_t Type0BlockBytes() const;
  void Handle(const Frame& frame);
  bool SilencedByFault(const Frame& frame);
  bool HangsUpAt(const Frame& frame);

  // Queues keep-alives for an operation of `delay`, then a burst that starts with header.
  Reply BeginReply(const Frame& frame, std::chrono::milliseconds delay);
  void Answer(const Frame& frame, std::chrono::milliseconds delay = {});
  void AnswerData(const Frame& frame, const std::uint8_t* data, std::size_t count,
                  std::chrono::milliseconds delay = {});
  // Bends a finished answer as the faults ask. isReadBack: a block of read-back data.
  void FinishReply(const Frame& frame, const Reply& reply, bool isReadBack, bool corrupt);
  bool FaultAppliesTo(FaultKind kind, const Frame& frame) const;
  void QueueStatus(std::chrono::milliseconds delay, std::uint8_t code, int valueBytes,
                   std::uint16_t value);

  void WriteType0Block(const Frame& frame);
  void WriteBlock16(const Frame& frame);
  void ReadType0Block(const Frame& frame);
  void ReadBlock16(const Frame& frame);
  void ReadFlashBlock(const Frame& frame);
  void ProgramTargetFromFlash();

  DeviceOptions options_;
  DeviceMemory memory_;
  Counters counters_;
  FrameAssembler assembler_;
  BurstQueue output_;
  std::vector<std::size_t> silentSeen_;  // per fault: frames of its command seen so far
  std::function<void(const Frame&)> observer_;
  std::size_t framesHandled_ = 0;
};

}  // namespace kv218::sim

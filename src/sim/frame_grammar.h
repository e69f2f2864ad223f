#pragma once
// The programmer's view of the host's frames: there is no length field, so a frame is known by
// its lead byte 0x1F, an optional family byte ('8', '9', 'T'), its letters and the fixed size
// that follows from them. The one size that depends on history, the type-0 program block,
// is passed in by whoever counts the blocks.

#include <cstddef>
#include <cstdint>

namespace kv218::sim {

inline constexpr std::uint8_t kLead = 0x1F;

enum class Command : std::uint8_t {
  BeginRun,
  EndRun,
  ReadDeviceId,
  BulkErase,
  WriteStart,
  WriteData,
  ReadStart,
  ReadSetAddress,
  ReadData,
  ReadEnd,
  WriteConfig,
  ReadConfig,
  ResetTarget,
  AutoProgram,
  FlashErase,
  FlashWriteData,
  FlashReadData,
  FlashWriteConfig,
  FlashReadConfig,
  ReadEraseCounter,
  WriteEraseCounter,
  QueryInfo,
  // A program read or write header without phase letter: the host sends it when its phase
  // has no frame. Nothing answers it.
  Phaseless,
};

struct Frame {
  Command command = Command::Phaseless;
  int targetType = 0;  // 0 without family byte, 1 '8', 2 '9', 3 'T'
  const std::uint8_t* bytes = nullptr;
  std::size_t size = 0;
  std::size_t headerSize = 0;  // lead, family, letters

  const std::uint8_t* Payload() const { return bytes + headerSize; }
  std::size_t PayloadSize() const { return size - headerSize; }
  // The bytes after the lead (family and letters), and after the family byte (letters).
  bool LettersAre(const char* letters) const;
};

struct HeaderMatch {
  enum Status { NeedMore, Known, Invalid } status = NeedMore;
  Command command = Command::Phaseless;
  int targetType = 0;
  std::size_t headerSize = 0;
  // Known: the whole frame's size. A phaseless header is complete one byte before the byte
  // that showed it had no phase letter, so frameSize can be smaller than the bytes looked at.
  std::size_t frameSize = 0;
};

// Matches the first count bytes of a would-be frame. type0BlockBytes is the payload size of
// the next type-0 program block (3,072 or 1,536).
HeaderMatch MatchHeader(const std::uint8_t* bytes, std::size_t count, std::size_t type0BlockBytes);

// Payload sizes of the fixed-size frames.
inline constexpr std::size_t kType0RowBytes = 12;    // four 24-bit words without pad bytes
inline constexpr std::size_t kType0BlockRows = 256;  // blocks 0..84; 128 rows after
inline constexpr std::size_t kType0FullBlocks = 85;
inline constexpr std::size_t kBlock16Bytes = 1024;  // 64 rows of 16 bytes, types 1 and 2
inline constexpr std::size_t kAutoProgramBytes = 1024;
inline constexpr std::size_t kFlashWriteBytes = 4096;
inline constexpr std::size_t kConfigBytes = 12;
inline constexpr std::size_t kLargestFrame = 4 + kFlashWriteBytes;

}  // namespace kv218::sim

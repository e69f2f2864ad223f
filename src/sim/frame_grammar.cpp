#include "sim/frame_grammar.h"

#include <cstring>

namespace kv218::sim {

bool Frame::LettersAre(const char* letters) const {
  const std::size_t length = std::strlen(letters);
  // AutoProgram's 'T' is one of its letters; FlashErase's 'T' is a family byte.
  const bool family = bytes[1] == '8' || bytes[1] == '9' || command == Command::FlashErase;
  const std::size_t familySize = family && targetType != 0 ? 1 : 0;
  const auto same = [&](std::size_t from) {
    return headerSize == from + length && std::memcmp(bytes + from, letters, length) == 0;
  };
  // "WD" names every family's program block; "8WD" only the type-1 one.
  return same(1 + familySize) || (familySize == 1 && same(1));
}

namespace {

constexpr HeaderMatch Need() { return {}; }
constexpr HeaderMatch Bad() { return {HeaderMatch::Invalid, Command::Phaseless, 0, 0, 0}; }
constexpr HeaderMatch Is(Command command, int type, std::size_t header, std::size_t payload) {
  return {HeaderMatch::Known, command, type, header, header + payload};
}

// Frames without family byte (target type 0, the flash commands and the run framing).
HeaderMatch MatchPlain(const std::uint8_t* b, std::size_t n, std::size_t type0BlockBytes) {
  switch (b[1]) {
    case 'E':
      return Is(Command::BulkErase, 0, 2, 0);
    case 'S':
      return Is(Command::ResetTarget, 0, 2, 0);
    case '-':
      return Is(Command::QueryInfo, 0, 2, 0);
    default:
      break;
  }
  if (n < 3) return Need();
  switch (b[1]) {
    case 'M':
      if (b[2] == 'S') return Is(Command::BeginRun, 0, 3, 0);
      if (b[2] == 'E') return Is(Command::EndRun, 0, 3, 0);
      return Bad();
    case 'R':
      if (b[2] == 'I') return Is(Command::ReadDeviceId, 0, 3, 0);
      if (b[2] == 'C') return Is(Command::ReadConfig, 0, 3, 0);
      if (b[2] != 'D') return Bad();
      if (n < 4) return Need();
      switch (b[3]) {
        case 'S':
          return Is(Command::ReadStart, 0, 4, 0);
        case 'C':
          return Is(Command::ReadSetAddress, 0, 4, 3);
        case 'D':
          return Is(Command::ReadData, 0, 4, 0);
        case 'E':
          return Is(Command::ReadEnd, 0, 4, 0);
        default:
          return Is(Command::Phaseless, 0, 3, 0);
      }
    case 'W':
      if (b[2] == 'C') return Is(Command::WriteConfig, 0, 3, kConfigBytes);
      if (b[2] != 'D') return Bad();
      if (n < 4) return Need();
      if (b[3] == 'S') return Is(Command::WriteStart, 0, 4, 0);
      if (b[3] == 'D') return Is(Command::WriteData, 0, 4, type0BlockBytes);
      return Is(Command::Phaseless, 0, 3, 0);
    case 'T':
      if (b[2] == 'A') return Is(Command::AutoProgram, 3, 3, kAutoProgramBytes);
      if (b[2] != 'F') return Bad();
      if (n < 4) return Need();
      return b[3] == 'E' ? Is(Command::FlashErase, 3, 4, 0) : Bad();
    case 'F':
      if (b[2] == 'E') return Is(Command::FlashErase, 0, 3, 0);
      if (b[2] != 'W' && b[2] != 'R') return Bad();
      if (n < 4) return Need();
      if (b[2] == 'W') {
        if (b[3] == 'D') return Is(Command::FlashWriteData, 0, 4, kFlashWriteBytes);
        if (b[3] == 'C') return Is(Command::FlashWriteConfig, 0, 4, kConfigBytes);
        if (b[3] == 'E') return Is(Command::WriteEraseCounter, 0, 4, 4);
        return Bad();
      }
      if (b[3] == 'D') return Is(Command::FlashReadData, 0, 4, 1);
      if (b[3] == 'C') return Is(Command::FlashReadConfig, 0, 4, 0);
      if (b[3] == 'E') return Is(Command::ReadEraseCounter, 0, 4, 0);
      return Bad();
    default:
      return Bad();
  }
}

// Frames of target types 1 ('8') and 2 ('9').
HeaderMatch MatchFamily(const std::uint8_t* b, std::size_t n) {
  const int type = b[1] == '8' ? 1 : 2;
  if (n < 3) return Need();
  if (b[2] == 'E') return Is(Command::BulkErase, type, 3, 0);
  if (n < 4) return Need();
  switch (b[2]) {
    case 'R':
      if (b[3] == 'I') return Is(Command::ReadDeviceId, type, 4, 0);
      if (b[3] != 'D') return Bad();
      if (n < 5) return Need();
      if (b[4] == 'S') return Is(Command::ReadStart, type, 5, 0);
      if (b[4] == 'D') return Is(Command::ReadData, type, 5, 0);
      return Is(Command::Phaseless, type, 4, 0);
    case 'W':
      if (b[3] == 'S') return Is(Command::WriteStart, type, 4, 0);
      if (b[3] == 'D') return Is(Command::WriteData, type, 4, kBlock16Bytes);
      return Is(Command::Phaseless, type, 3, 0);
    case 'F':
      return b[3] == 'E' ? Is(Command::FlashErase, type, 4, 0) : Bad();
    default:
      return Bad();
  }
}

}  // namespace

HeaderMatch MatchHeader(const std::uint8_t* bytes, std::size_t count, std::size_t type0BlockBytes) {
  if (count == 0) return Need();
  if (bytes[0] != kLead) return Bad();
  if (count < 2) return Need();
  if (bytes[1] == '8' || bytes[1] == '9') return MatchFamily(bytes, count);
  return MatchPlain(bytes, count, type0BlockBytes);
}

}  // namespace kv218::sim

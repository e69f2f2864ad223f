#pragma once
// Everything one port's conversation touches, in one plain struct owned by its controller.
// Zero at start, created once, touched on the window thread only.

#include <array>
#include <cstdint>
#include <string>

#include "image/kept_image.h"
#include "image/memory_image.h"
#include "port/port_channel.h"
#include "protocol/awaited_reply.h"
#include "protocol/reply_flags.h"
#include "protocol/report_carry.h"
#include "protocol/run_events.h"
#include "protocol/transfer_state.h"
#include "protocol/tx_buffer.h"

namespace kv218 {

struct RxBuffer {
  std::array<std::uint8_t, kMaxBurst + 1> bytes{};
  std::uint32_t RxCount = 0;  // bytes delivered by the latest read
};

struct Station {
  MemoryImage image;
  KeptImage fileImage;  // the file as loaded, kept by a run before its read-back
  std::string HexFileName;
  ReplyFlags flags;
  TransferState transfer;
  TxBuffer tx;
  RxBuffer rx;
  ReportCarry reportCarry;
  // A note longer than one read arrives in full reads back to back: while one ended a read
  // that was full, the next read is more of it.
  bool noteContinues = false;
  std::uint32_t notesEnded = 0;        // information notes received whole
  std::int32_t TimeOutCount = 0;       // ticks without a byte from the programmer
  AwaitedReply awaited;                // the command last sent, until its reply is taken
  PortChannel* port = nullptr;         // null while no port is open: frames go nowhere
  RunEvents* events = &NoRunEvents();  // who keeps the record of a run (never null)
};

// One tick of the tick timer: one more tick of silence, and one more since the last frame.
inline void CountTick(Station& station) {
  ++station.TimeOutCount;
  station.awaited.Tick();
}

}  // namespace kv218

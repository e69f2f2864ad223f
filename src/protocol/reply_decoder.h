#pragma once
// Decodes the programmer's reply to a command frame: completes the step line, sets the reply
// flags, stores read-back data, moves the gauge and sends the next frame of a block transfer.
// A reply is recognised only at the first byte of a read, only from bytes of that read, and
// only as the answer to the command sent last.

#include <atomic>
#include <ctime>

#include "ground/message_loop.h"
#include "ground/target_type.h"
#include "ground/window_ops.h"
#include "image/target_types.h"
#include "port/port_channel.h"
#include "protocol/follow_up.h"
#include "protocol/station.h"

namespace kv218 {

// Rows one read-back data reply carries: 256 for type 0 (1,024 words), 64 for types 1 and 2
// (their replies share one length).
inline constexpr int kReadBlockRows24 = RowOfFrames(kNoFamily).readBlockRows;
inline constexpr int kReadBlockRows16 = RowOfFrames(0).readBlockRows;
static_assert(RowOfFrames(1).readBlockRows == kReadBlockRows16);

// Judges a burst that begins with a reply by the length its head tells (with any status
// reports that came inside it): awaited until the reply's own bytes have all arrived, whole
// at exactly its length. Anything else (notes, status reports, bytes before a reply, a head
// not yet all here, a reply followed by more bytes) is left to the gap. The controller owns
// it; the receive thread hands it to the port's ReadBurst.
class ReplyEnd final : public BurstEnd {
 public:
  BurstSoFar Judge(const std::uint8_t* bytes, std::size_t count) const override;
  // Window thread, as a run starts: the run's target type, which sets the length of a flash
  // data block (4 + 1,024 bytes for type 3, 4 + 2,048 for the others). While it is unknown
  // such a block is awaited only up to the shorter length and then left to the gap.
  void ExpectTargetType(TargetType type) { targetType_.store(type, std::memory_order_relaxed); }

 private:
  std::atomic<TargetType> targetType_{TargetType::None};
};

// Decodes at most one reply from station.rx (its first RxCount bytes), and only the one that
// answers the command awaited (station.awaited), once. now stamps the result line of
// AutoProgram. Returns true when a reply was taken.
bool DecodeReply(Station& station, WindowOps& window, MessageLoop& loop, FollowUpSender& followUp,
                 std::time_t now);

}  // namespace kv218

#pragma once
// Decodes the programmer's reply to a command frame: completes the step line, sets the reply
// flags, stores read-back data, moves the gauge and sends the next frame of a block transfer.
// A reply is recognised only at the first byte of a read, and only from bytes of that read.

#include <ctime>

#include "ground/message_loop.h"
#include "ground/window_ops.h"
#include "port/port_channel.h"
#include "protocol/follow_up.h"
#include "protocol/station.h"

namespace kv218 {

// Rows one read-back data reply carries: 256 for type 0 (1,024 words), 64 for types 1 and 2.
inline constexpr int kReadBlockRows24 = 256;
inline constexpr int kReadBlockRows16 = 64;

// Ends a burst that begins with a reply as soon as the reply's whole length has arrived, the
// length its head tells (with any status reports that came inside it). Anything else (notes,
// status reports, bytes before a reply, a reply cut short or followed by more bytes) is left
// to the gap. The receive thread hands it to the port's ReadBurst.
class ReplyEnd final : public BurstEnd {
 public:
  bool Complete(const std::uint8_t* bytes, std::size_t count) const override;
};

// Decodes at most one reply from station.rx (its first RxCount bytes). now stamps the result
// line of AutoProgram. Returns true when a reply was recognised.
bool DecodeReply(Station& station, WindowOps& window, MessageLoop& loop, FollowUpSender& followUp,
                 std::time_t now);

}  // namespace kv218

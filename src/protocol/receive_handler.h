#pragma once
// ReceiveHandler: what the window thread does with one burst the receive thread read.
// In order: the burst becomes RxBuffer/RxCount, the programmer's status reports in it are
// logged, TimeOutCount goes back to 0, an information note is logged, and at most one command
// reply is decoded. Runs on the window thread only.

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "ground/message_loop.h"
#include "ground/window_ops.h"
#include "protocol/follow_up.h"
#include "protocol/station.h"

namespace kv218 {

// data may point into station.rx itself; at most kMaxBurst bytes are taken.
void ReceiveHandler(Station& station, WindowOps& window, MessageLoop& loop,
                    FollowUpSender& followUp, const std::uint8_t* data, std::size_t count);

// The same, with the time that stamps the log lines given (tests, replays).
void ReceiveHandler(Station& station, WindowOps& window, MessageLoop& loop,
                    FollowUpSender& followUp, const std::uint8_t* data, std::size_t count,
                    std::time_t now);

}  // namespace kv218

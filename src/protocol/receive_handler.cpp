#include "protocol/receive_handler.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "protocol/reply_decoder.h"
#include "protocol/status_reports.h"

namespace kv218 {

void ReceiveHandler(Station& station, WindowOps& window, MessageLoop& loop,
                    FollowUpSender& followUp, const std::uint8_t* data, std::size_t count) {
  ReceiveHandler(station, window, loop, followUp, data, count, std::time(nullptr));
}

void ReceiveHandler(Station& station, WindowOps& window, MessageLoop& loop,
                    FollowUpSender& followUp, const std::uint8_t* data, std::size_t count,
                    std::time_t now) {
  RxBuffer& rx = station.rx;
  count = std::min(count, kMaxBurst);
  // Every read overwrites the buffer from its start; bytes past the count are never looked at.
  if (count > 0 && data != rx.bytes.data()) std::memmove(rx.bytes.data(), data, count);
  rx.RxCount = static_cast<std::uint32_t>(count);

  LogStatusReports(window, station.reportCarry, rx.bytes.data(), count, now);
  station.TimeOutCount = 0;  // any byte at all shows the programmer is alive
  // The rest of a note longer than one read is more of the note, shown as such: no reply.
  const bool continued = std::exchange(station.noteContinues, false);
  if (continued) LogNoteContinued(window, rx.bytes.data(), count);
  if (continued || LogInformationReply(window, rx.bytes.data(), count)) {
    station.noteContinues = count == kMaxBurst && (continued || rx.bytes[2] == 'F');
    if (!station.noteContinues) ++station.notesEnded;
    return;
  }
  DecodeReply(station, window, loop, followUp, now);
}

}  // namespace kv218

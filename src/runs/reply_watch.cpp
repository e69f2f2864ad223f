#include "runs/reply_watch.h"

namespace kv218 {

void WatchReply(RunControl& control, const std::uint8_t* data, std::size_t count) {
  // 1F 'T' 'A' r, recognised (like every reply) only at the first byte of a burst.
  if (count >= 4 && data[0] == 0x1F && data[1] == 'T' && data[2] == 'A') {
    control.AutoProgramResult = data[3];
  }
}

}  // namespace kv218

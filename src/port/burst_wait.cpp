#include "port/burst_wait.h"

namespace kv218 {

std::optional<std::chrono::milliseconds> NextByteWait(const BurstEnd* end,
                                                      const std::uint8_t* bytes,
                                                      std::size_t count) {
  if (end == nullptr || count == 0) return kBurstGap;
  switch (end->Judge(bytes, count)) {
    case BurstSoFar::Whole:
      return std::nullopt;
    case BurstSoFar::Awaiting:
      return kLongestPauseInReply;
    case BurstSoFar::Open:
      break;
  }
  return kBurstGap;
}

}  // namespace kv218

#pragma once
// Where a burst read from the line ends: the one rule every port reads by.
//
// The programmer leaves at least 50 ms of silence after each of its outputs, so 50 ms without
// a byte ends a burst. A reply whose head tells its length is an exception: a busy PC or a USB
// adapter may hold its bytes up for longer than that in the middle, and ending it there would
// cut it in two and join its rest to the next one. So once its head is here, the reply is
// waited for until all of it has arrived, and only a silence far longer than any such hold-up
// (yet well within the step's time-out) hands it over short, to be judged short.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "port/port_channel.h"

namespace kv218 {

// A read ends once the line has been silent this long after its last byte.
inline constexpr std::chrono::milliseconds kBurstGap{50};
// ... unless the bytes so far are part of a reply that is awaited whole: then this long.
inline constexpr std::chrono::milliseconds kLongestPauseInReply{1000};

// How long a read waits for the next byte after the count bytes so far, or nothing when they
// are a whole burst to hand over now. Without end (silence framing) always the gap.
std::optional<std::chrono::milliseconds> NextByteWait(const BurstEnd* end,
                                                      const std::uint8_t* bytes, std::size_t count);

}  // namespace kv218

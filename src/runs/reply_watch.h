#pragma once
// What a run needs to know about a reply beyond its flag: the result byte of AutoProgram,
// whose reply ends the wait with the same flag value whether the programmer succeeded or not.
// Called with every burst after ReceiveHandler has decoded it.

#include <cstddef>
#include <cstdint>

#include "runs/waits.h"

namespace kv218 {

void WatchReply(RunControl& control, const std::uint8_t* data, std::size_t count);

}  // namespace kv218

#pragma once
// The verdict line of a stand-alone run the programmer reports ("PROGRAMMING SUCCEEDED. (" or
// "PROGRAMMING FAILED. (" as a line aside), which both windows colour as they colour the
// closing line of their own runs. Header-only, no toolkit.

#include <string_view>

#include "ground/window_ops.h"
#include "protocol/run_log.h"

namespace kv218 {

// Succeeded or Failed for a stand-alone run's verdict line; None for any other line.
constexpr Verdict StandaloneVerdictOf(std::string_view asideLine) {
  if (asideLine.starts_with(kSucceededHead)) return Verdict::Succeeded;
  if (asideLine.starts_with(kFailedHead)) return Verdict::Failed;
  return Verdict::None;
}

}  // namespace kv218

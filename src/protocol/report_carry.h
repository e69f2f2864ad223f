#pragma once
// The start of a status report that the end of a read cut off (its first 4 bytes at most):
// the next read may bring the rest. One per reader of the programmer's reports.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv218 {

struct ReportCarry {
  std::array<std::uint8_t, 4> bytes{};
  std::size_t count = 0;
};

}  // namespace kv218

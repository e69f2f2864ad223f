#pragma once
// TxBuffer: every frame is built in place here (TxClear, TxAdd..., TxSend with TxLength).

#include <array>
#include <cstdint>

#include "port/port_channel.h"

namespace kv218 {

inline constexpr std::int32_t kTxCapacity = 5000;

struct TxBuffer {
  std::array<std::uint8_t, kTxCapacity> bytes{};
  std::int32_t position = 0;
  bool overflowed = false;  // a TxAdd past the capacity was refused since the last TxClear

  void TxClear() {
    position = 0;
    overflowed = false;
  }
  // Refuses (and remembers) a byte past the capacity instead of writing outside the buffer.
  void TxAdd(std::uint8_t value) {
    if (position >= kTxCapacity) {
      overflowed = true;
      return;
    }
    bytes[static_cast<std::size_t>(position++)] = value;
  }
  std::int32_t TxLength() const { return position; }
};

// Starts sending the first count bytes of tx on port (which may be null: the port did not
// open, and the frame goes nowhere). A refused (overflowed) frame is not sent.
inline bool TxSend(PortChannel* port, const TxBuffer& tx, std::int32_t count) {
  if (port == nullptr || tx.overflowed || count <= 0 || count > kTxCapacity) return false;
  return port->Send(tx.bytes.data(), static_cast<std::size_t>(count));
}

}  // namespace kv218

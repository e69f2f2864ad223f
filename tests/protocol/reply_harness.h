#pragma once
// One station with a recording window, an ImmediateLoop and a recording follow-up sender:
// everything a read needs to be decoded in a test.

#include <ctime>
#include <string>

#include "ground/text.h"
#include "protocol/receive_handler.h"
#include "protocol/station.h"
#include "protocol_doubles.h"
#include "testkit/immediate_loop.h"
#include "testkit/recording_window.h"

namespace kv218::test {

// A fixed moment, so that time-stamped lines compare exactly.
inline constexpr std::time_t kNow = 1700000000;

inline std::string Stamped(const std::string& head) { return head + TimeStampText(kNow) + ")"; }

struct ReplyHarness {
  Station station;
  RecordingWindow window;
  testing::ImmediateLoop loop;
  RecordingFollowUp followUp;

  // A read that answers the command it names: as if the host had just sent that command.
  void Receive(const Bytes& bytes) {
    station.awaited.Sent(bytes.data(), bytes.size(), true);
    ReceiveUnasked(bytes);
  }
  // The host sent frame (lead byte first) and awaits its reply.
  void Await(const Bytes& frame) { station.awaited.Sent(frame.data(), frame.size(), true); }
  // A read with no command awaiting it, or the one the test set in station.awaited.
  void ReceiveUnasked(const Bytes& bytes) {
    ReceiveHandler(station, window, loop, followUp, bytes.data(), bytes.size(), kNow);
  }
  // Leaves bytes in RxBuffer as an earlier read would have: a later, shorter read must not
  // take anything from them.
  void LeaveInBuffer(const Bytes& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) station.rx.bytes[i] = bytes[i];
  }
};

}  // namespace kv218::test

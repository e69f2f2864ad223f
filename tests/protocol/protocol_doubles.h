#pragma once
// Small stand-ins for the protocol tests: a follow-up sender that records what the decoding
// asked for, a port that keeps every frame sent, and the byte-string helpers the tables are
// written with.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "port/port_channel.h"
#include "protocol/follow_up.h"
#include "protocol/reply_flags.h"
#include "testkit/recording_port.h"

namespace kv218::test {

using Bytes = std::vector<std::uint8_t>;

// The lead byte 0x1F followed by the given letters: Lead("RDS") is 1F 52 44 53.
inline Bytes Lead(std::string_view letters) {
  Bytes out{0x1F};
  for (char c : letters) out.push_back(static_cast<std::uint8_t>(c));
  return out;
}
inline Bytes B(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class RecordingFollowUp final : public FollowUpSender {
 public:
  void ReadProgram() override { calls.push_back("ReadProgram"); }
  void ReadProgram(int family) override {
    calls.push_back("ReadProgram/" + std::to_string(family));
  }
  void WriteProgram() override { calls.push_back("WriteProgram"); }
  void WriteProgram(int family) override {
    calls.push_back("WriteProgram/" + std::to_string(family));
  }
  void FlashWriteData() override { calls.push_back("FlashWriteData"); }
  void FlashReadData() override { calls.push_back("FlashReadData"); }

  std::vector<std::string> calls;
};

// All fourteen reply flags in one row, so a whole group compares at once.
inline std::vector<int> FlagRow(const ReplyFlags& f) {
  const TargetFlags& t = f.target;
  const FlashFlags& h = f.flash;
  return {t.DeviceIdResult,       t.EraseDone,          t.WriteDone,      t.ReadDone,
          t.ConfigWriteDone,      t.ConfigReadDone,     t.ResetDone,      h.EraseCounterState,
          h.FlashEraseDone,       h.CounterWriteDone,   h.FlashWriteDone, h.FlashReadDone,
          h.FlashConfigWriteDone, h.FlashConfigReadDone};
}

}  // namespace kv218::test

// The receive side: bursts of arbitrary bytes handed to ReceiveHandler (status reports,
// information notes, every command reply) with the reply flags, the transfer counters, the
// target type and the image's highest address in arbitrary states. Block transfers drive
// themselves through the real frame builders onto a port that discards what it is sent.
// Input: the state, then bursts (a length, then its bytes; a length of 0xFFFF hands the
// receive buffer's own content over again, as a repeated read would).

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "port/port_channel.h"
#include "protocol/frames.h"
#include "protocol/receive_handler.h"
#include "protocol/station.h"
#include "testkit/immediate_loop.h"
#include "testkit/recording_window.h"

namespace {

using kv218::kMaxBurst;
using kv218::Station;

class DiscardingPort final : public kv218::PortChannel {
 public:
  bool Open(const std::string&, const std::string&) override { return true; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  bool Send(const std::uint8_t*, std::size_t count) override {
    if (count > kv218::kMaxBurst + 1) std::abort();  // no frame is longer than the buffer
    return true;
  }
  kv218::ReadStatus ReadBurst(std::uint8_t*, std::size_t, std::size_t& count,
                              const kv218::BurstEnd*) override {
    count = 0;
    return kv218::ReadStatus::Interrupted;
  }
  void InterruptRead() override {}
};

template <typename T>
void Arbitrary(FuzzedDataProvider& input, T& field) {
  field = input.ConsumeIntegral<T>();
}

void ArbitraryState(FuzzedDataProvider& input, Station& station) {
  auto& t = station.transfer;
  for (auto* field : {&t.ReadPhase, &t.ReadBlocks, &t.ReadRow, &t.ReadPage, &t.ReadOffset,
                      &t.WritePhase, &t.WriteBlocks, &t.WriteRow, &t.FlashBlocks}) {
    // Mostly small values, which reach the decoder's branches; sometimes any value at all.
    *field = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::int32_t>(-2, 300)
                                 : input.ConsumeIntegral<std::int32_t>();
  }
  Arbitrary(input, t.EraseCounter);
  auto& f = station.flags;
  for (auto* flag : {&f.target.DeviceIdResult, &f.target.EraseDone, &f.target.WriteDone,
                     &f.target.ReadDone, &f.target.ConfigWriteDone, &f.target.ConfigReadDone,
                     &f.target.ResetDone, &f.flash.EraseCounterState, &f.flash.FlashEraseDone,
                     &f.flash.CounterWriteDone, &f.flash.FlashWriteDone, &f.flash.FlashReadDone,
                     &f.flash.FlashConfigWriteDone, &f.flash.FlashConfigReadDone}) {
    *flag = input.ConsumeIntegralInRange<std::int32_t>(0, 2);
  }
  Arbitrary(input, station.image.HighestAddress);
  Arbitrary(input, station.TimeOutCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto station = std::make_unique<Station>();
  static DiscardingPort port;
  *station = Station{};
  station->port = &port;
  FuzzedDataProvider input(data, size);
  kv218::RecordingWindow window;
  window.targetType = input.ConsumeIntegralInRange<int>(-1, 4);
  ArbitraryState(input, *station);
  kv218::Frames frames(*station, window);
  kv218::testing::ImmediateLoop loop;

  for (int burst = 0; burst < 16 && input.remaining_bytes() > 0; ++burst) {
    const auto length = input.ConsumeIntegral<std::uint16_t>();
    if (length == 0xFFFF) {
      kv218::ReceiveHandler(*station, window, loop, frames, station->rx.bytes.data(),
                            station->rx.RxCount, 0);
    } else {
      const bool asked = input.ConsumeBool();
      const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(length);
      // Half the bursts answer the command they name, so the replies' handling runs too.
      if (asked) station->awaited.Sent(bytes.data(), bytes.size(), true);
      kv218::ReceiveHandler(*station, window, loop, frames, bytes.data(), bytes.size(), 0);
    }
    if (station->rx.RxCount > kMaxBurst || station->TimeOutCount != 0) std::abort();
  }
  return 0;
}

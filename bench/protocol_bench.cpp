// The window thread's cost per burst: decoding the largest replies and building the largest
// frames, both of which happen once per block of a transfer.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "protocol/receive_handler.h"
#include "protocol/station.h"
#include "testkit/immediate_loop.h"
#include "testkit/recording_window.h"

namespace kv218 {
namespace {

class NullPort final : public PortChannel {
 public:
  bool Open(const std::string&, const std::string&) override { return true; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  bool Send(const std::uint8_t* data, std::size_t count) override {
    benchmark::DoNotOptimize(data[count - 1]);
    return true;
  }
  ReadStatus ReadBurst(std::uint8_t*, std::size_t, std::size_t& count, const BurstEnd*) override {
    count = 0;
    return ReadStatus::Interrupted;
  }
  void InterruptRead() override {}
};

struct Host {
  Host() { station.port = &port; }
  Station station;
  RecordingWindow window;
  testing::ImmediateLoop loop;
  NullPort port;
  Frames frames{station, window};
};

// A type-0 read-back data reply of 256 rows: store, count, and send the next request.
void BM_DecodeType0DataReply(benchmark::State& state) {
  auto host = std::make_unique<Host>();
  host->station.image.HighestAddress = 0x2ABFF;
  std::vector<std::uint8_t> reply = {0x1F, 'R', 'D', 'D'};
  for (int i = 0; i < 256 * 12; ++i) reply.push_back(static_cast<std::uint8_t>(i * 7));
  for (auto _ : state) {
    host->station.transfer.ReadPhase = 2;
    host->station.transfer.ReadBlocks = 1;
    host->station.transfer.ReadRow = 0;
    ReceiveHandler(host->station, host->window, host->loop, host->frames, reply.data(),
                   reply.size(), 0);
    host->window.progressCalls.clear();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}
BENCHMARK(BM_DecodeType0DataReply);

// The status-report scan over a full burst that holds no report.
void BM_ScanFullBurst(benchmark::State& state) {
  auto host = std::make_unique<Host>();
  std::vector<std::uint8_t> burst(kMaxBurst, 0x1B);
  for (auto _ : state) {
    ReceiveHandler(host->station, host->window, host->loop, host->frames, burst.data(),
                   burst.size(), 0);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * burst.size()));
}
BENCHMARK(BM_ScanFullBurst);

// The largest frame (4,100 bytes) built in the transmit buffer.
void BM_BuildFlashWriteData(benchmark::State& state) {
  auto host = std::make_unique<Host>();
  for (auto _ : state) {
    host->station.transfer.FlashBlocks = 40;
    host->frames.FlashWriteData();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 4100));
}
BENCHMARK(BM_BuildFlashWriteData);

// A type-0 program data frame (3,076 bytes): 256 rows without their pad bytes.
void BM_BuildType0WriteBlock(benchmark::State& state) {
  auto host = std::make_unique<Host>();
  host->station.transfer.WritePhase = 1;
  for (auto _ : state) {
    host->station.transfer.WriteRow = 0;
    host->frames.WriteProgram();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * 3076));
}
BENCHMARK(BM_BuildType0WriteBlock);

}  // namespace
}  // namespace kv218

BENCHMARK_MAIN();

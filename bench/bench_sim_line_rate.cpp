// The simulated programmer's emulated line rate, measured through its pseudo-terminal the way
// a host sees it: from the first byte of a frame written to the last byte of the answer read.
// At 115,200 baud and 11 bits a byte, a 4,100-byte FlashWriteData frame and its 4-byte answer
// should take 391.8 ms, a FlashReadData request and its 2,052-byte answer 196.4 ms.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "sim/device_model.h"
#include "sim/pty_server.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kBaud = 115200;

struct Line {
  Line() : model(Options()), server(model, kv218::sim::LineOptions{}) {
    std::string error;
    if (!server.Start(error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return;
    }
    fd = open(server.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
  }
  ~Line() {
    if (fd >= 0) close(fd);
    server.Stop();
  }
  static kv218::sim::DeviceOptions Options() {
    kv218::sim::DeviceOptions options;
    options.eraseTime = std::chrono::milliseconds{0};
    options.programTime = std::chrono::milliseconds{0};  // line time only
    return options;
  }

  // Writes frame and reads until `answer` bytes came back; the seconds this took.
  double Exchange(const std::vector<std::uint8_t>& frame, std::size_t answer) {
    std::vector<std::uint8_t> buffer(8192);
    const auto start = Clock::now();
    for (std::size_t sent = 0; sent < frame.size();) {
      const ssize_t n = write(fd, frame.data() + sent, frame.size() - sent);
      if (n <= 0) return 0;
      sent += static_cast<std::size_t>(n);
    }
    for (std::size_t got = 0; got < answer;) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 5000) <= 0) return 0;
      const ssize_t n = read(fd, buffer.data(), buffer.size());
      if (n <= 0) return 0;
      got += static_cast<std::size_t>(n);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  kv218::sim::DeviceModel model;
  kv218::sim::PtyServer server;
  int fd = -1;
};

void MeasureLineRate(benchmark::State& state, std::vector<std::uint8_t> frame, std::size_t answer,
                     const char* what) {
  Line line;
  const double expected = static_cast<double>((frame.size() + answer) * 11) / kBaud;
  double total = 0;
  int exchanges = 0;
  for (auto _ : state) {
    // Out of the measurement: the programmer keeps 60 ms between its bursts.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double seconds = line.Exchange(frame, answer);
    if (seconds <= 0) {
      state.SkipWithError("no answer from the simulated programmer");
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
    ++exchanges;
  }
  const double mean = total / exchanges;
  const double baud = static_cast<double>((frame.size() + answer) * 11) / mean;
  state.counters["expected_ms"] = expected * 1000;
  state.counters["achieved_baud"] = baud;
  state.counters["deviation_pct"] = (mean - expected) / expected * 100;
  std::printf(
      "%s: %zu + %zu bytes in %.1f ms, expected %.1f ms: %.0f baud achieved vs %u (%+.2f%%)\n",
      what, frame.size(), answer, mean * 1000, expected * 1000, baud, kBaud,
      (mean - expected) / expected * 100);
}

void BM_FlashWriteFrame(benchmark::State& state) {
  std::vector<std::uint8_t> frame = {0x1F, 'F', 'W', 'D'};
  frame.resize(4 + 4096, 0x5A);
  MeasureLineRate(state, frame, 4, "FlashWriteData frame and answer");
}

void BM_FlashReadReply(benchmark::State& state) {
  MeasureLineRate(state, {0x1F, 'F', 'R', 'D', 0}, 4 + 2048, "FlashReadData request and answer");
}

}  // namespace

BENCHMARK(BM_FlashWriteFrame)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlashReadReply)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// How long a HEX load takes: a full-size type-0 file (the whole program window in 16-byte
// records, about 22,000 lines) must load well under a second, gauge and message pump included.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/queue_loop.h"
#include "ground/text.h"
#include "ground/window_ops.h"
#include "image/hex_loader.h"

namespace kv218 {
namespace {

// Draws nothing: the measure is the loader's own work.
class SilentWindow : public WindowOps {
 public:
  void AppendLog(std::string_view) override {}
  void AppendAside(std::string_view) override {}
  void AppendToLastLine(std::string_view) override {}
  void SetPanelText(int, std::string_view) override {}
  void SetProgress(int percent) override { benchmark::DoNotOptimize(percent); }
  void SetButtonsEnabled(bool) override {}
  std::optional<std::string> ChooseHexFile() override { return std::nullopt; }
  TargetType SelectedType() const override { return TargetType::TkSeries; }
  void ShowError(std::string_view) override {}
};

std::string Record(unsigned type, unsigned address, const unsigned char* data, unsigned n) {
  unsigned sum = n + (address >> 8) + (address & 0xFF) + type;
  std::string line = ":" + Hex(n, 2) + Hex(address & 0xFFFF, 4) + Hex(type, 2);
  for (unsigned i = 0; i < n; ++i) {
    line += Hex(data[i], 2);
    sum += data[i];
  }
  return line + Hex((0x100 - (sum & 0xFF)) & 0xFF, 2) + "\r\n";
}

// Every byte of [0, end) in 16-byte records, extended linear address records as needed.
std::string FullFile(unsigned end, bool type0Config) {
  std::string text;
  unsigned char data[16];
  for (unsigned address = 0; address < end; address += 16) {
    if (address % 0x10000 == 0) {
      const unsigned char upper[2] = {static_cast<unsigned char>(address >> 24),
                                      static_cast<unsigned char>(address >> 16)};
      text += Record(4, 0, upper, 2);
    }
    for (unsigned i = 0; i < 16; ++i) {
      // Program words with their zero pad byte, as a compiler writes them.
      data[i] = static_cast<unsigned char>(i % 4 == 3 ? 0 : (address * 7 + i * 13) & 0xFF);
    }
    text += Record(0, address, data, 16);
  }
  if (type0Config) {
    const unsigned char segment[2] = {0x01, 0xF0};
    text += Record(4, 0, segment, 2);
    for (unsigned k = 0; k < 12; ++k) {
      const unsigned char reg[4] = {0xCF, 0, 0, 0};
      text += Record(0, 4 * k, reg, 4);
    }
  }
  return text + ":00000001FF\r\n";
}

class HexFileFixture : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State& state) override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kv218-bench-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    const bool type0 = state.range(0) == 0;
    path_ = (folder_ / "full.hex").string();
    const std::string text = FullFile(type0 ? 0x55800 : 0x7FF8, type0);
    lines_ = static_cast<double>(std::count(text.begin(), text.end(), '\n'));
    std::ofstream(path_, std::ios::binary) << text;
  }
  void TearDown(const benchmark::State&) override { std::filesystem::remove_all(folder_); }

 protected:
  std::filesystem::path folder_;
  std::string path_;
  double lines_ = 0;
};

BENCHMARK_DEFINE_F(HexFileFixture, LoadFullFile)(benchmark::State& state) {
  const TargetType targetType = TargetTypeAt(static_cast<int>(state.range(0)));
  SilentWindow window;
  QueueLoop loop;  // the command line's loop: PumpMessages once per line, as in the window
  auto image = std::make_unique<MemoryImage>();
  for (auto _ : state) {
    const LoadResult result = LoadImage(*image, path_, targetType, window, loop);
    if (!result.ok()) state.SkipWithError(result.error.c_str());
    benchmark::DoNotOptimize(image->ImageChecksum);
  }
  state.counters["lines"] = lines_;
  state.counters["lines/s"] =
      benchmark::Counter(lines_, benchmark::Counter::kIsIterationInvariantRate);
}
// Type 0: the whole program window; type 1: the whole 32 KB.
BENCHMARK_REGISTER_F(HexFileFixture, LoadFullFile)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->ArgName("type");

}  // namespace
}  // namespace kv218

BENCHMARK_MAIN();

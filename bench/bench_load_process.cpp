// The whole `kv218 load FILE` process against the whole `objcopy -I ihex -O binary FILE OUT`
// process, on full-size HEX files of several shapes (bench/hex_shapes.h). The two are taken in
// alternating pairs, the order swapped from one pair to the next, so that both see the same
// machine. For each file it prints the median wall time of each, the ratio of the medians, the
// median of the pairs' ratios, the same for the processes' CPU time (user + system), and the
// load average before and after.
//
//   KV218_PAIRS=n   pairs per file (default 41)
//   KV218_EXE=path  measures another build of kv218 (an older one, say)

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hex_shapes.h"

namespace kv218 {
namespace {

using Clock = std::chrono::steady_clock;

struct ProcessTime {
  double wall = -1;  // seconds; negative when it could not run or did not exit with 0
  double cpu = 0;    // user + system seconds
};

// Runs argv with standard output and error on /dev/null.
ProcessTime TimedProcess(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto t0 = Clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return {};
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return {wall, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double LoadAverage() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

struct Series {
  std::vector<double> kv218, objcopy, ratios;
  void Add(double a, double b) {
    kv218.push_back(a);
    objcopy.push_back(b);
    ratios.push_back(a / b);
  }
};

void LoadAgainstObjcopy(benchmark::State& state, const bench::HexShape& shape) {
  const auto temp = std::filesystem::temp_directory_path();
  const std::string out = (temp / "kv218-bench-objcopy.bin").string();
  const std::string settings = (temp / "kv218-bench-load.INI").string();
  const char* chosen = std::getenv("KV218_EXE");
  const std::string exe = chosen != nullptr ? chosen : KV218_EXE;
  const std::vector<std::string> kv218 = {
      exe, "--settings", settings, "load", shape.path, "--type", std::to_string(shape.type)};
  const std::vector<std::string> objcopy = {"objcopy", "-I",       "ihex", "-O",
                                            "binary",  shape.path, out};
  // One unmeasured run of each: the file and both programs in the page cache.
  TimedProcess(kv218);
  TimedProcess(objcopy);

  const double loadBefore = LoadAverage();
  Series wall, cpu;
  bool kv218First = true;
  for (auto _ : state) {
    ProcessTime a, b;
    if (kv218First) {
      a = TimedProcess(kv218);
      b = TimedProcess(objcopy);
    } else {
      b = TimedProcess(objcopy);
      a = TimedProcess(kv218);
    }
    kv218First = !kv218First;
    if (a.wall < 0 || b.wall < 0) {
      state.SkipWithError(a.wall < 0 ? "kv218 load failed"
                                     : "objcopy failed (binutils installed?)");
      return;
    }
    wall.Add(a.wall, b.wall);
    cpu.Add(a.cpu, b.cpu);
    state.SetIterationTime(a.wall + b.wall);
  }
  const double loadAfter = LoadAverage();

  const double ratio = Median(wall.kv218) / Median(wall.objcopy);
  state.counters["kv218_ms"] = Median(wall.kv218) * 1e3;
  state.counters["objcopy_ms"] = Median(wall.objcopy) * 1e3;
  state.counters["ratio"] = ratio;
  state.counters["pair_ratio"] = Median(wall.ratios);
  state.counters["cpu_ratio"] = Median(cpu.kv218) / Median(cpu.objcopy);
  std::printf(
      "%-18s %8ju bytes, %zu pairs: wall kv218 %6.2f ms, objcopy %6.2f ms, ratio %.3f "
      "(median of pair ratios %.3f); CPU kv218 %5.2f ms, objcopy %5.2f ms, ratio %.3f; "
      "load %.2f -> %.2f\n",
      shape.name.c_str(), static_cast<std::uintmax_t>(std::filesystem::file_size(shape.path)),
      wall.kv218.size(), Median(wall.kv218) * 1e3, Median(wall.objcopy) * 1e3, ratio,
      Median(wall.ratios), Median(cpu.kv218) * 1e3, Median(cpu.objcopy) * 1e3,
      Median(cpu.kv218) / Median(cpu.objcopy), loadBefore, loadAfter);
  std::fflush(stdout);
}

}  // namespace
}  // namespace kv218

int main(int argc, char** argv) {
  const char* pairs = std::getenv("KV218_PAIRS");
  const int count = pairs != nullptr ? std::max(1, std::atoi(pairs)) : 41;
  for (const auto& shape : kv218::bench::HexShapes()) {
    benchmark::RegisterBenchmark(("LoadAgainstObjcopy/" + shape.name).c_str(),
                                 kv218::LoadAgainstObjcopy, shape)
        ->Iterations(count)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

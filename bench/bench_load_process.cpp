// The whole `kv218 load` process against the whole `objcopy -I ihex -O binary` process on the
// same full-size type-0 HEX file, taken in turns so that both see the same machine. Reports
// the median time of each and the ratio of the medians (kv218 / objcopy).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "full_image_file.h"

namespace kv218 {
namespace {

using Clock = std::chrono::steady_clock;

// Runs argv with standard output and error on /dev/null; its wall time in seconds, or a
// negative value when it could not be run or did not exit with 0.
double TimedProcess(std::vector<std::string> args) {
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
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void BM_LoadAgainstObjcopy(benchmark::State& state) {
  const std::string file = bench::FullImageFile();
  const std::string out =
      (std::filesystem::temp_directory_path() / "kv218-bench-objcopy.bin").string();
  const std::string settings =
      (std::filesystem::temp_directory_path() / "kv218-bench-load.INI").string();
  // KV218_EXE in the environment measures another build (an older one, say) instead.
  const char* chosen = std::getenv("KV218_EXE");
  const std::string exe = chosen != nullptr ? chosen : KV218_EXE;
  std::vector<double> kv218;
  std::vector<double> objcopy;
  for (auto _ : state) {
    const double a = TimedProcess({exe, "--settings", settings, "load", file, "--type", "0"});
    const double b = TimedProcess({"objcopy", "-I", "ihex", "-O", "binary", file, out});
    if (a < 0 || b < 0) {
      state.SkipWithError(a < 0 ? "kv218 load failed" : "objcopy failed (binutils installed?)");
      return;
    }
    kv218.push_back(a);
    objcopy.push_back(b);
    state.SetIterationTime(a + b);
  }
  const double kv218Median = Median(kv218);
  const double objcopyMedian = Median(objcopy);
  state.counters["kv218_ms"] = kv218Median * 1e3;
  state.counters["objcopy_ms"] = objcopyMedian * 1e3;
  state.counters["ratio"] = kv218Median / objcopyMedian;
  std::printf("HEX load of %s, median of %zu turns: kv218 %.2f ms, objcopy %.2f ms, ratio %.3f\n",
              file.c_str(), kv218.size(), kv218Median * 1e3, objcopyMedian * 1e3,
              kv218Median / objcopyMedian);
}

BENCHMARK(BM_LoadAgainstObjcopy)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kv218

BENCHMARK_MAIN();

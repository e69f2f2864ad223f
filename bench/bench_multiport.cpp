// Eight simulated programmers at 115,200 baud programmed at once by one kv218 process,
// against one programmer alone: the whole process's wall time for each, their ratio, and
// its CPU time (user + system). The simulators run inside the kv218 process (--simulate),
// so its CPU time holds theirs too. Each count is run kRepeats times; the figures are the
// medians.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kRepeats = 3;

struct Measured {
  double wall = 0;  // seconds
  double cpu = 0;   // user + system seconds
  int exitCode = -1;
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// kv218 program --simulate count on the full-size type-0 example, its output discarded.
Measured RunKv218(int count, const std::string& settings) {
  const std::string counted = std::to_string(count);
  std::vector<std::string> args = {
      KV218_EXE,    "--settings", settings, "program", "-q",
      "--simulate", counted,      "--type", "0",       KV218_EXAMPLES "/tk_series.hex"};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  Measured measured;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return measured;
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  measured.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measured.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  measured.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return measured;
}

Measured Median(std::vector<Measured> runs) {
  auto middle = [&runs](auto field) {
    std::vector<double> values;
    for (const Measured& m : runs) values.push_back(m.*field);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  return {middle(&Measured::wall), middle(&Measured::cpu), 0};
}

void BM_EightProgrammersAtOnce(benchmark::State& state) {
  const std::string settings =
      (std::filesystem::temp_directory_path() / "kv218-bench-multiport.INI").string();
  for (auto _ : state) {
    std::vector<Measured> ones, eights;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
      // Alternated, so that a change in the machine's load touches both alike.
      for (auto [count, runs] : {std::pair{1, &ones}, std::pair{8, &eights}}) {
        const Measured m = RunKv218(count, settings);
        if (m.exitCode != 0) {
          state.SkipWithError("kv218 did not succeed");
          return;
        }
        runs->push_back(m);
      }
    }
    const Measured one = Median(ones);
    const Measured eight = Median(eights);
    state.SetIterationTime(eight.wall);
    state.counters["one_s"] = one.wall;
    state.counters["eight_s"] = eight.wall;
    state.counters["ratio"] = eight.wall / one.wall;
    state.counters["one_cpu_s"] = one.cpu;
    state.counters["eight_cpu_s"] = eight.cpu;
    std::printf(
        "one programmer: %.2f s wall, %.2f s CPU; eight at once: %.2f s wall, %.2f s CPU; "
        "wall ratio %.3f (medians of %d)\n",
        one.wall, one.cpu, eight.wall, eight.cpu, eight.wall / one.wall, kRepeats);
  }
  std::filesystem::remove(settings);
}

BENCHMARK(BM_EightProgrammersAtOnce)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();

// A full type-0 target run, a full flash download and a verification through the controller, the
// POSIX port and the receive thread, against kv218-sim paced at 115,200 baud on a pseudo-terminal.
// Prints each run's time next to its wire-time floor (the bytes each way at the line rate,
// the simulator's erase and block-programming times, 50 ms of silence that ends each reply's
// read, and the 100 ms pause after BeginRun) and their ratio, and the CPU time this process
// (the host side only: the simulator is another process) used meanwhile, also during a
// time-out wait in which the programmer says nothing for six ticks. The Framings benchmarks
// run each sequence twice, replies ended by their length and every burst ended by 50 ms of
// silence, paced at 115,200 baud and unpaced, and give the ratio of the two times.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/controller.h"
#include "app/queue_loop.h"
#include "full_image_file.h"
#include "port/posix_port.h"
#include "testkit/recording_window.h"

namespace kv218 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 11.0;  // start, 8 data, parity, stop
// kv218-sim's default operation times.
constexpr double kEraseSeconds = 1.5;
constexpr double kBlockProgramSeconds = 0.020;
constexpr double kReplyGapSeconds = 0.050;
constexpr double kBeginRunPauseSeconds = 0.100;

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// What went over the line, counted at the host's port.
struct Traffic {
  std::atomic<std::uint64_t> bytesOut{0};
  std::atomic<std::uint64_t> bytesIn{0};
  std::atomic<std::uint64_t> bursts{0};
  std::atomic<std::uint64_t> beginRuns{0};
  std::atomic<std::uint64_t> erases{0};
  std::atomic<std::uint64_t> programmedBlocks{0};
  void Reset() {
    for (auto* counter : {&bytesOut, &bytesIn, &bursts, &beginRuns, &erases, &programmedBlocks}) {
      *counter = 0;
    }
  }
};

bool Starts(const std::uint8_t* data, std::size_t count, std::initializer_list<std::uint8_t> head) {
  if (count < head.size()) return false;
  std::size_t i = 0;
  for (std::uint8_t byte : head) {
    if (data[i++] != byte) return false;
  }
  return true;
}

// PosixPort, counting what it carries.
class CountingPort : public PosixPort {
 public:
  explicit CountingPort(Traffic& traffic) : traffic_(traffic) {}
  bool Send(const std::uint8_t* data, std::size_t count) override {
    traffic_.bytesOut += count;
    if (Starts(data, count, {0x1F, 'M', 'S'})) ++traffic_.beginRuns;
    if (count == 2 && Starts(data, count, {0x1F, 'E'})) ++traffic_.erases;  // type-0 bulk erase
    if (count == 3 && Starts(data, count, {0x1F, 'F', 'E'})) ++traffic_.erases;
    if (Starts(data, count, {0x1F, 'W', 'D', 'D'}) || Starts(data, count, {0x1F, 'F', 'W', 'D'})) {
      ++traffic_.programmedBlocks;
    }
    return PosixPort::Send(data, count);
  }
  ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                       const BurstEnd* end) override {
    const ReadStatus status = PosixPort::ReadBurst(buffer, capacity, count, end);
    if (status == ReadStatus::Burst) {
      traffic_.bytesIn += count;
      ++traffic_.bursts;
    }
    return status;
  }

 private:
  Traffic& traffic_;
};

// kv218-sim in a process of its own; the first line it prints is the port to open.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& extra, const char* baud = "115200") {
    std::vector<std::string> args = {KV218_SIM_EXE, "--baud", baud};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n') port_.push_back(c);
    close(out[0]);
  }
  ~Simulator() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const std::string& Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  std::string port_;
};

// One controller on the simulator's port, counting the traffic.
struct Host {
  explicit Host(const std::string& port, bool silenceFraming = false)
      : controller(window, loop, "/nonexistent/kv218-bench.INI",
                   [this] { return std::make_unique<CountingPort>(traffic); }) {
    controller.ReadSettingsFile();
    if (silenceFraming) controller.ForceSilenceFraming();
    opened = controller.OpenPort(port, false);
    window.targetType = 0;
  }
  Traffic traffic;
  RecordingWindow window;
  QueueLoop loop;
  Controller controller;
  bool opened = false;
};

double FloorSeconds(const Traffic& traffic) {
  const double byteSeconds = kBitsPerByte / kBaud;
  return static_cast<double>(traffic.bytesOut + traffic.bytesIn) * byteSeconds +
         static_cast<double>(traffic.erases) * kEraseSeconds +
         static_cast<double>(traffic.programmedBlocks) * kBlockProgramSeconds +
         static_cast<double>(traffic.bursts) * kReplyGapSeconds +
         static_cast<double>(traffic.beginRuns) * kBeginRunPauseSeconds;
}

// before, when given, runs first and untimed (a verification needs a board that holds the
// file); only the traffic of the timed run counts.
void FullRun(benchmark::State& state, const char* name, RunOutcome (Controller::*button)(),
             RunOutcome (Controller::*before)() = nullptr) {
  const std::string file = bench::FullImageFile();
  for (auto _ : state) {
    Simulator sim({});
    Host host(sim.Port());
    if (!host.opened) {
      state.SkipWithError("cannot open the simulator's port");
      return;
    }
    host.controller.SetHexFile(file);
    if (before != nullptr) {
      if ((host.controller.*before)() != RunOutcome::Succeeded) {
        state.SkipWithError("the preparing run did not succeed");
        return;
      }
      host.traffic.Reset();
    }
    const double cpu0 = ProcessCpuSeconds();
    const auto t0 = Clock::now();
    const RunOutcome outcome = (host.controller.*button)();
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    if (outcome != RunOutcome::Succeeded) {
      state.SkipWithError("the run did not succeed");
      return;
    }
    state.SetIterationTime(seconds);
    const double floor = FloorSeconds(host.traffic);
    state.counters["floor_s"] = floor;
    state.counters["ratio"] = seconds / floor;
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_pct"] = 100.0 * cpu / seconds;
    state.counters["bytes_out"] = static_cast<double>(host.traffic.bytesOut);
    state.counters["bytes_in"] = static_cast<double>(host.traffic.bytesIn);
    state.counters["replies"] = static_cast<double>(host.traffic.bursts);
    std::printf(
        "%s: %.2f s, wire-time floor %.2f s, ratio %.3f, host CPU %.3f s (%.2f%% of a core)\n",
        name, seconds, floor, seconds / floor, cpu, 100.0 * cpu / seconds);
  }
}

void BM_TargetRunType0(benchmark::State& state) {
  FullRun(state, "target run, type 0", &Controller::ProgramTarget);
}
void BM_FlashDownloadType0(benchmark::State& state) {
  FullRun(state, "flash download, type 0", &Controller::StoreInProgrammer);
}
// kv218 verify of a board programmed with the file just before: identity, the 86 read-back
// blocks, the configuration bits.
void BM_VerifyTargetType0(benchmark::State& state) {
  FullRun(state, "verify target, type 0", &Controller::VerifyTarget, &Controller::ProgramTarget);
}

// The programmer says nothing after the identity request: the run waits six ticks of one
// second, and the host should sleep through them.
void BM_SilentWaitCpu(benchmark::State& state) {
  const std::string file = bench::FullImageFile();
  for (auto _ : state) {
    Simulator sim({"--fault", "silent-at=RI"});
    Host host(sim.Port());
    host.controller.SetHexFile(file);
    // The reload is not part of the wait: measure from the identity request on.
    double cpuAtWait = 0;
    Clock::time_point waitStart;
    host.controller.SetSleeper([&](std::chrono::milliseconds pause) {
      std::this_thread::sleep_for(pause);
      cpuAtWait = ProcessCpuSeconds();
      waitStart = Clock::now();
    });
    const RunOutcome outcome = host.controller.ProgramTarget();
    const double seconds = std::chrono::duration<double>(Clock::now() - waitStart).count();
    const double cpu = ProcessCpuSeconds() - cpuAtWait;
    if (outcome != RunOutcome::TimedOut) {
      state.SkipWithError("the run did not time out");
      return;
    }
    state.SetIterationTime(seconds);
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_pct"] = 100.0 * cpu / seconds;
    std::printf("%s: a %.2f s silent wait took %.4f s of host CPU (%.3f%% of a core)\n",
                "silent wait", seconds, cpu, 100.0 * cpu / seconds);
  }
}

// One run against a fresh kv218-sim; its time in seconds, or a negative value when it failed.
double TimedRun(RunOutcome (Controller::*button)(), bool silence, bool paced) {
  Simulator sim({}, paced ? "115200" : "max");
  Host host(sim.Port(), silence);
  if (!host.opened) return -1;
  host.controller.SetHexFile(bench::FullImageFile());
  const auto t0 = Clock::now();
  const RunOutcome outcome = (host.controller.*button)();
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  if (outcome == RunOutcome::Succeeded) return seconds;
  std::printf("%s framing: the run ended after %.2f s with \"%s\"\n", silence ? "silence" : "reply",
              seconds, host.window.log.empty() ? "" : host.window.log.back().c_str());
  return -1;
}

// Replies handed over as soon as their length has arrived, against every burst ending at the
// 50 ms gap: the same run both ways, one after the other, and the ratio of their times.
void Framings(benchmark::State& state, const char* name, RunOutcome (Controller::*button)()) {
  const bool paced = state.range(0) != 0;
  bench::FullImageFile();  // written before the clock starts
  for (auto _ : state) {
    const double fast = TimedRun(button, false, paced);
    const double silence = TimedRun(button, true, paced);
    if (fast < 0 || silence < 0) {
      state.SkipWithError("a run did not succeed");
      return;
    }
    state.SetIterationTime(fast + silence);
    state.counters["fast_s"] = fast;
    state.counters["silence_s"] = silence;
    state.counters["ratio"] = fast / silence;
    std::printf("%s, %s: replies ended by length %.2f s, by silence %.2f s, ratio %.3f\n", name,
                paced ? "115,200 baud" : "unpaced", fast, silence, fast / silence);
  }
}

void BM_FramingsTargetRunType0(benchmark::State& state) {
  Framings(state, "target run, type 0", &Controller::ProgramTarget);
}
void BM_FramingsFlashDownloadType0(benchmark::State& state) {
  Framings(state, "flash download, type 0", &Controller::StoreInProgrammer);
}

BENCHMARK(BM_TargetRunType0)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_FlashDownloadType0)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_VerifyTargetType0)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_SilentWaitCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
// Argument: 1 paced at 115,200 baud, 0 unpaced (kv218-sim --baud max).
BENCHMARK(BM_FramingsTargetRunType0)
    ->ArgName("paced")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_FramingsFlashDownloadType0)
    ->ArgName("paced")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kv218

BENCHMARK_MAIN();

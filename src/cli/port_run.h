#pragma once
// One port's run within a command, as the closing summary tells it (and whatever else wants
// to know how a run went): the port, whether it opened, the outcome, when it began and how
// long it took; and the order in which the ports' exit statuses count.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "runs/run_outcome.h"

namespace kv218::cli {

struct PortRun {
  std::string port;                         // as the log's prefix names it: "ttyUSB0", "sim2"
  std::string path;                         // the device opened
  bool opened = false;                      // false: the port did not open and nothing was sent
  RunOutcome outcome = RunOutcome::Failed;  // Interrupted also for a port that Ctrl-C kept closed
  std::chrono::system_clock::time_point start;
  std::chrono::steady_clock::duration duration{};
};

// The exit status a single-port command gives for this run.
int ExitCodeOf(const PortRun& run);
// "succeeded", "failed", "time-out", "interrupted", "port not opened", "file not loaded",
// "file refused".
std::string_view ResultText(const PortRun& run);

// The more serious of two exit statuses: 130 interrupted, then 4 port not opened, 2 usage or
// input error, 3 time-out, 1 failed, 0 succeeded. An interruption leaves every unfinished
// board in doubt, and a port or file that never worked is a fault of the setup; a time-out
// leaves its board in an unknown state, while a failure is at least a verdict.
int MoreSerious(int a, int b);

// The summary that closes a run on several ports: one line per port with its result and
// time, then the exit status and the ports that decided it.
std::string SummaryText(const std::vector<PortRun>& runs);
// The most serious exit status of runs (0 when all succeeded).
int ExitCodeOf(const std::vector<PortRun>& runs);

}  // namespace kv218::cli

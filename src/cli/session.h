#pragma once
// What the commands that talk to the programmer share: the controller on a console window
// and a real-time message loop, the port (the one the settings name, --port, or the simulated
// programmer started in-process on a pseudo-terminal with --simulate), and Ctrl-C, which ends
// a run cleanly (EndRun sent, settings saved) instead of killing the process.

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/queue_loop.h"
#include "cli/cli_common.h"
#include "cli/console_window.h"
#include "cli/simulated_programmer.h"
#include "port/metered_port.h"
#include "runs/run_outcome.h"
#include "settings/settings.h"

namespace kv218::cli {

inline constexpr int kExitTimeout = 3;        // the programmer stayed silent
inline constexpr int kExitPort = 4;           // the port cannot be opened
inline constexpr int kExitInterrupted = 130;  // Ctrl-C (128 + SIGINT), SIGTERM, SIGHUP

// The most programmers one command drives at once.
inline constexpr int kMostPorts = 64;

struct SessionOptions {
  std::vector<std::string> ports;   // --port, repeatable; none: PORT from the settings file
  std::string type;                 // --type; empty: TYPE from the settings file
  int simulate = 0;                 // --simulate [N], repeatable: simulated programmers
  std::vector<std::string> faults;  // --fault [N:]NAME, for the simulated programmers
  std::string simBaud = "115200";   // --sim-baud N|max
  int tickMs = 1000;                // --tick-ms: the tick timer's period (for tests)
  bool silenceFraming = false;      // --silence-framing
  bool strict = false;              // --strict (program and store)
  bool lenient = false;             // --lenient: a suspect file is run all the same
  std::string record;               // --record; empty: RECORD/FILE from the settings file
};

// Adds --port, --type, --simulate, --fault, --sim-baud, --silence-framing and --tick-ms to a
// subcommand.
void AddSessionOptions(CLI::App& command, SessionOptions& options);

// More than one port: program, store and verify run on each at once (cli/multi_run.h); the
// other commands take one.
bool SeveralPorts(const SessionOptions& options);

// The target type of --type, or else TYPE of the settings read from settingsPath; nothing,
// after a message on standard error, when there is none.
std::optional<TargetType> TargetTypeOf(const SessionOptions& options, const Settings& settings,
                                       const std::string& settingsPath);

// The target type a command will run with, from its options and the settings file, before
// any session opens; nothing, after a message on standard error, when there is none.
std::optional<TargetType> TargetTypeFor(const CommonOptions& common, const SessionOptions& options);

// Adds --record FILE (program, store, verify, read, monitor).
void AddRecordOption(CLI::App& command, SessionOptions& options);

// The exit status of a finished run.
int ExitCodeFor(RunOutcome outcome);

class Session;
class SignalWatcher;

// program, store and verify: open the session, run one sequence on FILE, close; the exit status
// of the run (or of the failed open).
int RunSequenceCommand(const CommonOptions& common, const SessionOptions& options,
                       const std::string& file, RunOutcome (Controller::*operation)());

class Session {
 public:
  Session(const CommonOptions& common, const SessionOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Reads the settings, starts the simulated programmer when asked and opens the port.
  // kExitOk, or the exit status after a message on standard error. After a usage error the
  // settings file is left as it was.
  int Open();
  // Saves the settings as the window does when it closes (the one-off --port and --type are
  // not kept), closes the port, stops the simulated programmer and prints the last log line.
  // The save is left out when the command ended with a usage or input error.
  void Close();
  // The command ends with a usage or input error before it talked to the programmer: Close
  // leaves the settings file alone.
  void KeepSettingsFile() { saveSettings_ = false; }

  Controller& controller() { return *controller_; }
  QueueLoop& loop() { return loop_; }
  ConsoleWindow& window() { return window_; }
  // The simulated programmer (--simulate), or null.
  SimulatedProgrammer* simulator() { return simulator_.Started() ? &simulator_ : nullptr; }
  // Ctrl-C (or SIGTERM, or the terminal closed) arrived; the run in progress was asked to end.
  bool Interrupted() const { return interrupted_; }

 private:
  int OpenSession();

  const CommonOptions& common_;
  const SessionOptions& options_;
  QueueLoop loop_;
  ConsoleWindow window_;
  LineCounters line_;
  SimulatedProgrammer simulator_;
  std::unique_ptr<Controller> controller_;
  std::unique_ptr<SignalWatcher> signals_;
  bool interrupted_ = false;
  bool closed_ = false;
  bool saveSettings_ = true;
};

}  // namespace kv218::cli

#include "cli/multi_run.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "app/queue_loop.h"
#include "cli/console_output.h"
#include "cli/console_window.h"
#include "cli/port_error_text.h"
#include "cli/port_run.h"
#include "cli/signal_watcher.h"
#include "cli/simulated_programmer.h"
#include "cli/terminal.h"
#include "ground/shown_text.h"
#include "image/shared_image_source.h"
#include "port/metered_port.h"
#include "port/system_port.h"
#include "settings/settings.h"
#include "settings/settings_location.h"

namespace kv218::cli {

namespace {

constexpr std::chrono::milliseconds kProgressRefresh{1000};

// One port of the command: what its thread is given and what it reports back.
struct PortJob {
  std::string path;
  std::unique_ptr<SimulatedProgrammer> simulator;
  int row = 0;
  LineCounters line;
  PortRun result;
  std::thread thread;
  // While the port's thread runs its controller: where Ctrl-C reaches it.
  QueueLoop* loop = nullptr;
  Controller* controller = nullptr;
};

// What every port's thread shares, and Ctrl-C's way to each running controller.
class Crew {
 public:
  Crew(const CommonOptions& common, const SessionOptions& options, TargetType targetType,
       const std::string& file, RunOutcome (Controller::*operation)(), ConsoleOutput& output)
      : common_(common),
        options_(options),
        targetType_(targetType),
        file_(file),
        operation_(operation),
        output_(output) {}

  // Runs the job's port to the end, on the calling thread.
  void Run(PortJob& job);
  // Asks every run to end; those not started yet do not start.
  void Interrupt();
  const SharedImageSource& images() const { return images_; }

 private:
  // Makes the job reachable by Interrupt; false when an interruption came first.
  bool Attach(PortJob& job, QueueLoop& loop, Controller& controller);
  void Detach(PortJob& job);

  const CommonOptions& common_;
  const SessionOptions& options_;
  const TargetType targetType_;
  const std::string& file_;
  RunOutcome (Controller::*operation_)();
  ConsoleOutput& output_;
  SharedImageSource images_;

  std::mutex mutex_;
  bool interrupted_ = false;
  std::vector<PortJob*> attached_;
};

bool Crew::Attach(PortJob& job, QueueLoop& loop, Controller& controller) {
  std::lock_guard lock(mutex_);
  if (interrupted_) return false;
  job.loop = &loop;
  job.controller = &controller;
  attached_.push_back(&job);
  return true;
}

void Crew::Detach(PortJob& job) {
  std::lock_guard lock(mutex_);
  attached_.erase(std::remove(attached_.begin(), attached_.end(), &job), attached_.end());
  job.loop = nullptr;
  job.controller = nullptr;
}

void Crew::Interrupt() {
  std::lock_guard lock(mutex_);
  interrupted_ = true;
  for (PortJob* job : attached_) {
    Controller* controller = job->controller;
    // Runs on the port's own thread, at the run's next wait (or before it starts).
    job->loop->Post([controller] { controller->RequestClose(); });
  }
}

void Crew::Run(PortJob& job) {
  QueueLoop loop(std::chrono::milliseconds(options_.tickMs));  // this thread's window thread
  ConsoleWindow window(output_, job.row);
  window.SetSelectedType(targetType_);
  Controller controller(window, loop, SettingsLocationOf(common_), [&job, &loop, &controller] {
    auto port = job.simulator ? job.simulator->MakePort(
                                    loop,
                                    [&controller](const std::uint8_t* data, std::size_t count) {
                                      controller.OnBurst(data, count);
                                    })
                              : MakeSystemPort();
    return std::make_unique<MeteredPort>(std::move(port), job.line);
  });
  controller.ReadSettingsFile();
  if (options_.silenceFraming) controller.ForceSilenceFraming();
  controller.SetLoadOptions({.strict = options_.strict});
  controller.SetLenient(options_.lenient);
  controller.SetImageSource(&images_);
  // Every port's run gets its own line in the record, as a single port's does.
  if (!options_.record.empty()) controller.SetRecordFile(options_.record);
  controller.SetRecordErrorReporter([this, &job](const std::string& error) {
    output_.WriteError(job.row, "kv218: run not recorded: " + error);
  });
  controller.SetLoadFindingReporter({});
  controller.SetPortOpenFailureReporter({});  // told below, on the port's row
  controller.SetNextStepReporter([this, &job](const std::string& text) {
    output_.WriteError(job.row, "kv218: next step: " + text);
  });
  controller.SetIncompleteStoreReporter(
      [this, &job] { output_.WriteError(job.row, kIncompleteStoreText); });
  controller.SetPortEventReporter(
      [this, &job](Controller::PortEvent event, const std::string& port) {
        output_.WriteError(job.row, event == Controller::PortEvent::Lost ? PortLostText(port)
                                                                         : PortBackText(port));
      });

  job.result.start = std::chrono::system_clock::now();
  const auto began = std::chrono::steady_clock::now();
  job.result.outcome = RunOutcome::Interrupted;  // unless it gets as far as its run
  if (Attach(job, loop, controller)) {
    job.result.opened = controller.OpenPort(job.path, /*remember=*/false);
    if (!job.result.opened) {
      job.result.outcome = RunOutcome::Failed;
      const OpenFailure failure = controller.LastOpenFailure();
      const std::string group = failure.reason == OpenError::PermissionDenied
                                    ? SystemDeviceGroup(job.path)
                                    : std::string();
      window.ShowError(PortOpenErrorText(job.path, SystemDevicePath(job.path), failure, group));
    } else {
      controller.SetHexFile(file_);
      job.result.outcome = (controller.*operation_)();
    }
    Detach(job);
  }
  job.result.duration = std::chrono::steady_clock::now() - began;
  window.Finish();
}

// The ports to run on; nothing after a message when they make no sense together.
std::optional<std::vector<std::unique_ptr<PortJob>>> PlanPorts(const SessionOptions& options) {
  std::vector<std::unique_ptr<PortJob>> jobs;
  if (options.simulate > 0) {
    if (!options.ports.empty()) {
      std::cerr << "--port and --simulate do not mix when there are several programmers\n";
      return std::nullopt;
    }
    std::string error;
    const auto line = SimulatedLine(options.simBaud, error);
    if (!line) {
      std::cerr << error << '\n';
      return std::nullopt;
    }
    for (int number = 1; number <= options.simulate; ++number) {
      auto faults = FaultsOf(options.faults, number, options.simulate, error);
      if (!faults) {
        std::cerr << "--fault: " << error << '\n';
        return std::nullopt;
      }
      auto job = std::make_unique<PortJob>();
      job->result.port = "sim" + std::to_string(number);
      job->simulator = std::make_unique<SimulatedProgrammer>(number);
      if (!job->simulator->Start(*line, std::move(*faults), error)) {
        job->path.clear();
        std::cerr << "Cannot start simulated programmer " << number << ": " << error << '\n';
      } else {
        job->path = job->simulator->PortPath();
      }
      job->result.path = job->path;
      jobs.push_back(std::move(job));
    }
    return jobs;
  }
  if (!options.faults.empty()) {
    std::cerr << "--fault needs --simulate\n";
    return std::nullopt;
  }
  for (const std::string& path : options.ports) {
    const bool twice = std::any_of(jobs.begin(), jobs.end(),
                                   [&path](const auto& job) { return job->path == path; });
    if (twice) {
      std::cerr << "--port " << ShownText(path) << " is given twice\n";
      return std::nullopt;
    }
    auto job = std::make_unique<PortJob>();
    job->path = path;
    job->result.port = PortLabel(path);
    job->result.path = path;
    jobs.push_back(std::move(job));
  }
  return jobs;
}

}  // namespace

std::string PortLabel(const std::string& path) {
  // Shown before every line of its port and in the summary: no control character goes through.
  const std::size_t backslash = path.rfind('\\');
  if (backslash != std::string::npos) return ShownText(path.substr(backslash + 1));
  constexpr std::string_view kDevices = "/dev/";
  if (path.starts_with(kDevices)) return ShownText(path.substr(kDevices.size()));
  return ShownText(path);
}

int RunOnSeveralPorts(const CommonOptions& common, const SessionOptions& options,
                      const std::string& file, RunOutcome (Controller::*operation)()) {
  const SettingsLocation location = SettingsLocationOf(common);
  const Settings settings = ReadSettings(location.readPath);
  const auto type = TargetTypeOf(options, settings, location.readPath);
  if (!type) return kExitUsage;

  // Before any other thread, the simulators' included, so that all of them leave the signals
  // to the watcher.
  Crew* crew = nullptr;
  std::mutex crewMutex;
  SignalWatcher signals([&crew, &crewMutex] {
    std::lock_guard lock(crewMutex);
    if (crew != nullptr) crew->Interrupt();
  });

  auto planned = PlanPorts(options);
  if (!planned) return kExitUsage;
  std::vector<std::unique_ptr<PortJob>>& jobs = *planned;

  const bool progress = !common.quiet && IsTerminal(2);
  ConsoleOutput output(std::cout, std::cerr,
                       {.showLog = !common.quiet,
                        .progress = progress,
                        .sequences = TerminalProcessesSequences(2),
                        .columns = TerminalColumns(2),
                        .refreshEvery = kProgressRefresh,
                        .clock = {}});
  for (auto& job : jobs) job->row = output.AddRow("[" + job->result.port + "] ", &job->line);

  Crew team(common, options, *type, file, operation, output);
  {
    std::lock_guard lock(crewMutex);
    crew = &team;
  }
  for (auto& job : jobs) {
    if (job->path.empty()) continue;  // a simulator that did not start: its port never opens
    PortJob& mine = *job;
    job->thread = std::thread([&team, &mine] { team.Run(mine); });
  }
  for (auto& job : jobs) {
    if (job->thread.joinable()) job->thread.join();
  }
  {
    std::lock_guard lock(crewMutex);
    crew = nullptr;
  }
  for (auto& job : jobs) {
    if (job->simulator) job->simulator->Stop();
  }

  // The settings as read, saved once as the window saves them when it closes.
  PrepareSettingsFolder(location);
  if (const auto error = WriteSettings(location.writePath, settings)) std::cerr << *error << '\n';

  std::vector<PortRun> runs;
  for (const auto& job : jobs) runs.push_back(job->result);
  if (!common.quiet) output.WriteText(SummaryText(runs));
  if (const OutputLoss loss = output.Loss(); loss.failed) {
    std::cerr << "kv218: " << OutputLossText(loss) << '\n';
  }
  return ExitCodeOf(runs);
}

}  // namespace kv218::cli

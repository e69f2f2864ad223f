#include "cli/session.h"

#include <chrono>
#include <iostream>

#include "cli/load_notes.h"
#include "cli/multi_run.h"
#include "cli/port_error_text.h"
#include "cli/port_run.h"
#include "cli/signal_watcher.h"
#include "cli/terminal.h"
#include "ground/shown_text.h"
#include "port/system_port.h"
#include "settings/settings.h"

namespace kv218::cli {

void AddSessionOptions(CLI::App& command, SessionOptions& options) {
  command.add_option("--port", options.ports,
                     "Serial port: a device path (/dev/ttyUSB0) or \\\\.\\COMn for /dev/ttyS(n-1) "
                     "(default: PORT from the settings file); program, store and verify take it "
                     "again for each further programmer, all served at once");
  command.add_option("--type", options.type,
                     "Target type: 0..3 or \"TK Series\", \"MVRx Series\", \"Cradle Set\", "
                     "\"Eco Mode\" (default: TYPE from the settings file)");
  command
      .add_option_function<std::vector<std::string>>(
          "--simulate",
          [&options](const std::vector<std::string>& counts) {
            // Each --simulate adds one programmer, or N with a number.
            for (const std::string& count : counts) {
              options.simulate += count.empty() ? 1 : std::stoi(count);
            }
          },
          "Talk to simulated KV-218s started in-process on pseudo-terminals: one, or N "
          "(program, store and verify serve them all at once)")
      ->expected(0, 1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(CLI::Range(1, kMostPorts) | CLI::IsMember({""}))
      ->type_name("[N]");
  command
      .add_option("--fault", options.faults,
                  "A fault of the simulated programmers (repeatable; N: only the N-th):\n" +
                      sim::FaultSet::Help())
      ->type_name("[N:]NAME[=VALUE]");
  command
      .add_option("--sim-baud", options.simBaud,
                  "Line rate of the simulated programmer in baud, or max for no pacing")
      ->type_name("N|max");
  command.add_flag("--silence-framing", options.silenceFraming,
                   "End every burst from the programmer only after 50 ms of silence (default: "
                   "a reply ends as soon as the length its head tells has arrived; the "
                   "settings file's FRAMING=SILENCE in [COM PORT SETTING] does the same)");
  // The tick timer's period; only tests shorten it.
  command.add_option("--tick-ms", options.tickMs)->group("")->check(CLI::Range(10, 60000));
}

bool SeveralPorts(const SessionOptions& options) {
  return options.ports.size() > 1 || options.simulate > 1;
}

std::optional<TargetType> TargetTypeOf(const SessionOptions& options, const Settings& settings,
                                       const std::string& settingsPath) {
  if (!options.type.empty()) {
    const auto parsed = ParseTargetType(options.type);
    if (!parsed) {
      std::cerr << "--type: '" << ShownText(options.type)
                << "' is not a target type (0..3, \"TK Series\", \"MVRx Series\", "
                   "\"Cradle Set\" or \"Eco Mode\")\n";
    }
    return parsed;
  }
  if (!IsTargetTypeItem(settings.Type)) {
    std::cerr << "No target type selected (TYPE=" << settings.Type << " in "
              << ShownText(settingsPath) << "); give one with --type\n";
    return std::nullopt;
  }
  return TargetTypeAt(settings.Type);
}

std::optional<TargetType> TargetTypeFor(const CommonOptions& common,
                                        const SessionOptions& options) {
  const std::string path = SettingsPathOf(common);
  return TargetTypeOf(options, ReadSettings(path), path);
}

void AddRecordOption(CLI::App& command, SessionOptions& options) {
  command
      .add_option("--record", options.record,
                  "Append one JSON line per run to FILE, for traceability (default: FILE in "
                  "the settings file's [RECORD] section)")
      ->type_name("FILE");
}

int ExitCodeFor(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Succeeded:
      return kExitOk;
    case RunOutcome::NoFile:
    case RunOutcome::NoType:
    case RunOutcome::LoadFailed:
    case RunOutcome::Refused:
      return kExitUsage;
    case RunOutcome::TimedOut:
      return kExitTimeout;
    case RunOutcome::Interrupted:
      return kExitInterrupted;
    case RunOutcome::NoPort:
      return kExitPort;
    case RunOutcome::Failed:
    case RunOutcome::Busy:
      break;
  }
  return kExitFailure;
}

Session::Session(const CommonOptions& common, const SessionOptions& options)
    : common_(common),
      options_(options),
      loop_(std::chrono::milliseconds(options.tickMs)),
      window_(std::cout, std::cerr,
              {.showLog = !common.quiet,
               .progressBar = !common.quiet && IsTerminal(2),
               .sequences = TerminalProcessesSequences(2),
               .columns = TerminalColumns(2)}) {
  window_.SetLineCounters(&line_);
}

Session::~Session() {
  Close();
  signals_.reset();
  loop_.Shutdown();
}

int Session::Open() {
  const int opened = OpenSession();
  if (opened == kExitUsage) KeepSettingsFile();
  return opened;
}

int Session::OpenSession() {
  if (SeveralPorts(options_)) {
    std::cerr << "Only program, store and verify take more than one port\n";
    return kExitUsage;
  }
  signals_ = std::make_unique<SignalWatcher>([this] {
    loop_.Post([this] {
      interrupted_ = true;
      if (controller_) controller_->RequestClose();
    });
  });
  controller_ = std::make_unique<Controller>(window_, loop_, SettingsLocationOf(common_), [this] {
    auto port = simulator_.Started()
                    ? simulator_.MakePort(loop_,
                                          [this](const std::uint8_t* data, std::size_t count) {
                                            controller_->OnBurst(data, count);
                                          })
                    : MakeSystemPort();
    return std::make_unique<MeteredPort>(std::move(port), line_);
  });
  controller_->ReadSettingsFile();
  if (options_.silenceFraming) controller_->ForceSilenceFraming();
  const Settings& settings = controller_->settings();
  if (!options_.record.empty()) controller_->SetRecordFile(options_.record);
  // Standard output carries only the window's log lines; the run's result stands.
  controller_->SetRecordErrorReporter([](const std::string& error) {
    std::cerr << "kv218: run not recorded: " << ShownText(error) << '\n';
  });
  // The load's findings are printed after the run (PrintLoadNotes), not among its lines.
  controller_->SetLoadFindingReporter({});
  controller_->SetIncompleteStoreReporter([] { std::cerr << kIncompleteStoreText << '\n'; });
  // A port that does not open is told below, with the exit status.
  controller_->SetPortOpenFailureReporter({});
  controller_->SetNextStepReporter(
      [](const std::string& text) { std::cerr << "kv218: next step: " << text << '\n'; });
  controller_->SetPortEventReporter([](Controller::PortEvent event, const std::string& port) {
    std::cerr << (event == Controller::PortEvent::Lost ? PortLostText(port) : PortBackText(port))
              << '\n';
  });

  const auto type = TargetTypeOf(options_, settings, SettingsPathOf(common_));
  if (!type) return kExitUsage;
  window_.SetSelectedType(*type);

  std::string path = options_.ports.empty() ? settings.PortPath : options_.ports.front();
  if (options_.simulate > 0) {
    std::string error;
    auto faults = FaultsOf(options_.faults, 1, 1, error);
    if (!faults) {
      std::cerr << "--fault: " << error << '\n';
      return kExitUsage;
    }
    const auto line = SimulatedLine(options_.simBaud, error);
    if (!line) {
      std::cerr << error << '\n';
      return kExitUsage;
    }
    if (!simulator_.Start(*line, std::move(*faults), error)) {
      std::cerr << "Cannot start the simulated programmer: " << error << '\n';
      return kExitPort;
    }
    path = simulator_.PortPath();
  } else if (!options_.faults.empty()) {
    std::cerr << "--fault needs --simulate\n";
    return kExitUsage;
  }

  // A port given on the command line (or the simulator's) is used once and not saved.
  const bool remember = options_.ports.empty() && options_.simulate == 0;
  if (!controller_->OpenPort(path, remember)) {
    const OpenFailure failure = controller_->LastOpenFailure();
    const std::string group =
        failure.reason == OpenError::PermissionDenied ? SystemDeviceGroup(path) : std::string();
    std::cerr << PortOpenErrorText(path, SystemDevicePath(path), failure, group) << '\n';
    return kExitPort;
  }
  return kExitOk;
}

void Session::Close() {
  if (closed_) return;
  closed_ = true;
  if (controller_ && saveSettings_) {
    // The settings as read, as the window would save them had nothing been changed in it.
    window_.SetSelectedType(TargetTypeAt(controller_->settings().Type));
    controller_->Close(controller_->settings().Com);  // a failure is shown; the port
  }                                                   // closes with the controller anyway
  controller_.reset();
  simulator_.Stop();
  window_.Finish();
  // The run went on without its log (a closed pipe, a full disk, a terminal gone): say so
  // where it may still be read.
  if (const OutputLoss loss = window_.Output().Loss(); loss.failed) {
    std::cerr << "kv218: " << OutputLossText(loss) << '\n';
  }
}

int RunSequenceCommand(const CommonOptions& common, const SessionOptions& options,
                       const std::string& file, RunOutcome (Controller::*operation)()) {
  if (SeveralPorts(options)) return RunOnSeveralPorts(common, options, file, operation);
  Session session(common, options);
  if (const int opened = session.Open(); opened != kExitOk) {
    session.Close();
    return opened;
  }
  PortRun run;
  run.path = session.controller().PortPath();
  run.port = PortLabel(run.path);
  run.opened = true;
  run.start = std::chrono::system_clock::now();
  const auto began = std::chrono::steady_clock::now();
  // As if the file had been chosen with the load button: the run reads it afresh itself.
  session.controller().SetHexFile(file);
  session.controller().SetLoadOptions({.strict = options.strict});
  session.controller().SetLenient(options.lenient);
  run.outcome = (session.controller().*operation)();
  run.duration = std::chrono::steady_clock::now() - began;
  const LoadResult loaded = session.controller().LastLoad();
  const TargetType type = session.window().SelectedType();
  // A file that could not be loaded ends the run before a frame went out.
  if (run.outcome == RunOutcome::LoadFailed || run.outcome == RunOutcome::NoFile ||
      run.outcome == RunOutcome::Refused)
    session.KeepSettingsFile();
  session.Close();
  PrintLoadNotes(std::cerr, file, type, loaded);
  if (run.outcome == RunOutcome::Interrupted) std::cerr << "kv218: interrupted\n";
  if (run.outcome == RunOutcome::Refused) std::cerr << SuspectFileRefusalText(file);
  if (run.outcome == RunOutcome::TimedOut) {
    std::cerr << "kv218: no response from the programmer\n";
  }
  return ExitCodeOf(run);
}

}  // namespace kv218::cli

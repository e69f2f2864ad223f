#include "cli/session.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <functional>
#include <iostream>
#include <optional>
#include <thread>

#include "app/settings.h"
#include "serial/system_port.h"
#include "sim/device_model.h"
#include "sim/fault_set.h"
#include "sim/pty_server.h"

namespace kv218::cli {

// Ctrl-C and SIGTERM, taken from a thread of their own (signalfd) instead of a handler, so
// that they can be handed to the window thread as an ordinary message. Another one at least
// a second later, while the first is still being handled, gives up at once; one sooner is
// taken for the same request delivered twice (to a process group, through a wrapper).
class Session::SignalWatcher {
 public:
  explicit SignalWatcher(std::function<void()> onFirst) : onFirst_(std::move(onFirst)) {
    // Blocked before any other thread of the session exists, so that every thread inherits
    // the mask and only the signalfd sees them.
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    signalFd_ = signalfd(-1, &signals_, SFD_CLOEXEC);
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Watch(); });
  }
  ~SignalWatcher() {
    const std::uint64_t one = 1;
    if (write(stopFd_, &one, sizeof one) < 0) {
      // Nothing else to do: the join below would hang only if the thread never started.
    }
    thread_.join();
    close(signalFd_);
    close(stopFd_);
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  void Watch() {
    std::optional<std::chrono::steady_clock::time_point> first;
    for (;;) {
      pollfd fds[2] = {{signalFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) continue;  // EINTR
      if (fds[1].revents != 0) return;
      if (fds[0].revents == 0) continue;
      signalfd_siginfo info{};
      if (read(signalFd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
      const auto now = std::chrono::steady_clock::now();
      if (!first) {
        first = now;
        onFirst_();
      } else if (now - *first >= std::chrono::seconds(1)) {
        static const char kGivingUp[] = "\nkv218: interrupted again; giving up\n";
        if (write(2, kGivingUp, sizeof kGivingUp - 1) < 0) {
          // Nothing to report it to.
        }
        _exit(kExitInterrupted);
      }
    }
  }

  std::function<void()> onFirst_;
  sigset_t signals_{};
  sigset_t previous_{};
  int signalFd_ = -1;
  int stopFd_ = -1;
  std::thread thread_;
};

void AddSessionOptions(CLI::App& command, SessionOptions& options) {
  command.add_option("--port", options.port,
                     "Serial port: a device path (/dev/ttyUSB0) or \\\\.\\COMn for /dev/ttyS(n-1) "
                     "(default: PORT from the settings file)");
  command.add_option("--type", options.type,
                     "Target type: 0..3 or \"TK Series\", \"MVRx Series\", \"Cradle Set\", "
                     "\"Eco Mode\" (default: TYPE from the settings file)");
  command.add_flag("--simulate", options.simulate,
                   "Talk to a simulated KV-218 started in-process on a pseudo-terminal");
  command
      .add_option("--fault", options.faults,
                  "A fault of the simulated programmer (repeatable):\n" + sim::FaultSet::Help())
      ->type_name("NAME[=VALUE]");
  command
      .add_option("--sim-baud", options.simBaud,
                  "Line rate of the simulated programmer in baud, or max for no pacing")
      ->type_name("N|max");
  command.add_flag("--silence-framing", options.silenceFraming,
                   "End every burst from the programmer only after 50 ms of silence (default: "
                   "a reply ends as soon as the length its head tells has arrived; the "
                   "settings file's FRAMING=SILENCE in [COM PORT SETTING] does the same)");
  // Timer1's period; only tests shorten it.
  command.add_option("--tick-ms", options.tickMs)->group("")->check(CLI::Range(10, 60000));
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
    case RunOutcome::LoadFailed:
      return kExitUsage;
    case RunOutcome::TimedOut:
      return kExitTimeout;
    case RunOutcome::Interrupted:
      return kExitInterrupted;
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
              {.showLog = !common.quiet, .progressBar = !common.quiet && ::isatty(2) == 1}) {}

Session::~Session() {
  Close();
  signals_.reset();
  loop_.Shutdown();
}

int Session::Open() {
  signals_ = std::make_unique<SignalWatcher>([this] {
    loop_.Post([this] {
      interrupted_ = true;
      if (controller_) controller_->RequestClose();
    });
  });
  controller_ = std::make_unique<Controller>(window_, loop_, SettingsLocationOf(common_));
  controller_->ReadSettingsFile();
  if (options_.silenceFraming) controller_->ForceSilenceFraming();
  const Settings& settings = controller_->settings();
  if (!options_.record.empty()) controller_->SetRecordFile(options_.record);
  // Standard output carries only the window's log lines; the run's result stands.
  controller_->SetRecordErrorReporter(
      [](const std::string& error) { std::cerr << "kv218: run not recorded: " << error << '\n'; });

  int type = settings.Type;
  if (!options_.type.empty()) {
    const auto parsed = ParseTargetType(options_.type);
    if (!parsed) {
      std::cerr << "--type: '" << options_.type
                << "' is not a target type (0..3, \"TK Series\", \"MVRx Series\", "
                   "\"Cradle Set\" or \"Eco Mode\")\n";
      return kExitUsage;
    }
    type = *parsed;
  } else if (type < 0 || type > 3) {
    std::cerr << "No target type selected (TYPE=" << type << " in " << SettingsPathOf(common_)
              << "); give one with --type\n";
    return kExitUsage;
  }
  window_.SetTargetType(type);

  std::string path = options_.port.empty() ? settings.PortPath : options_.port;
  if (options_.simulate) {
    std::string error;
    auto faults = sim::FaultSet::Parse(options_.faults, error);
    if (!faults) {
      std::cerr << "--fault: " << error << '\n';
      return kExitUsage;
    }
    sim::LineOptions line;
    if (options_.simBaud == "max") {
      line.unpaced = true;
    } else {
      const char* first = options_.simBaud.data();
      const char* last = first + options_.simBaud.size();
      const auto parsed = std::from_chars(first, last, line.baud);
      if (parsed.ec != std::errc() || parsed.ptr != last || line.baud == 0) {
        std::cerr << "--sim-baud: '" << options_.simBaud << "' is neither a baud rate nor max\n";
        return kExitUsage;
      }
    }
    sim::DeviceOptions device;
    device.faults = std::move(*faults);
    model_ = std::make_unique<sim::DeviceModel>(std::move(device));
    server_ = std::make_unique<sim::PtyServer>(*model_, line);
    if (!server_->Start(error)) {
      std::cerr << "Cannot start the simulated programmer: " << error << '\n';
      return kExitPort;
    }
    path = server_->SlavePath();
  } else if (!options_.faults.empty()) {
    std::cerr << "--fault needs --simulate\n";
    return kExitUsage;
  }

  // A port given on the command line (or the simulator's) is used once and not saved.
  const bool remember = options_.port.empty() && !options_.simulate;
  if (!controller_->OpenPort(path, remember)) {
    const std::string device = SystemDevicePath(path);
    std::cerr << "Cannot open port " << path;
    if (device != path) std::cerr << " (" << device << ")";
    std::cerr << '\n';
    return kExitPort;
  }
  return kExitOk;
}

void Session::Close() {
  if (closed_) return;
  closed_ = true;
  if (controller_) {
    // The settings as read, as the window would save them had nothing been changed in it.
    window_.SetTargetType(controller_->settings().Type);
    controller_->FormClose(controller_->settings().Com);  // a failure is shown; the port
    controller_.reset();                                  // closes with the controller anyway
  }
  if (server_) server_->Stop();
  window_.Finish();
}

int RunSequenceCommand(const CommonOptions& common, const SessionOptions& options,
                       const std::string& file, RunOutcome (Controller::*button)()) {
  Session session(common, options);
  if (const int opened = session.Open(); opened != kExitOk) {
    session.Close();
    return opened;
  }
  // As if the file had been chosen with the load button: the run reads it afresh itself.
  session.controller().station().HexFileName = file;
  const RunOutcome outcome = (session.controller().*button)();
  session.Close();
  if (outcome == RunOutcome::Interrupted) std::cerr << "kv218: interrupted\n";
  if (outcome == RunOutcome::TimedOut) std::cerr << "kv218: no response from the programmer\n";
  return ExitCodeFor(outcome);
}

}  // namespace kv218::cli

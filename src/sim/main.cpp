// kv218-sim: the simulated KV-218 programmer on a pseudo-terminal. Prints the path of the
// port the host opens, then serves until SIGINT or SIGTERM (or the hang-up fault).
// A stand-alone programming run from its flash: SIGUSR1, or "run" on standard input.

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "sim/device_model.h"
#include "sim/fault_set.h"
#include "sim/pty_server.h"
#include "sim/state_file.h"
#include "sim/wire_trace.h"

namespace {

using kv218::sim::DeviceModel;
using kv218::sim::DeviceOptions;
using kv218::sim::LineOptions;
using kv218::sim::PtyServer;

struct Arguments {
  std::string baud = "115200";
  std::string link;
  std::string state;
  std::string trace;
  std::vector<std::string> faults;
  int eraseMs = 1500;
  int programMs = 20;
  bool factorySetting = false;
  std::string note;
};

bool ParseBaud(const std::string& text, LineOptions& line) {
  if (text == "max") {
    line.unpaced = true;
    return true;
  }
  std::uint32_t baud = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), baud);
  if (ec != std::errc() || end != text.data() + text.size() || baud < 50 || baud > 4000000) {
    return false;
  }
  line.baud = baud;
  return true;
}

// Standard input: one command a line.
void HandleCommand(const std::string& command, PtyServer& server, bool& quit) {
  if (command == "run") {
    server.RequestStandaloneRun();
    std::cerr << "kv218-sim: stand-alone run\n";
  } else if (command == "quit" || command == "exit") {
    quit = true;
  } else if (!command.empty()) {
    std::cerr << "kv218-sim: commands: run (a stand-alone programming run), quit\n";
  }
}

// Serves until a signal, "quit", or the line is hung up.
void Serve(PtyServer& server) {
  const int ended = eventfd(0, EFD_CLOEXEC);
  std::thread watcher([&server, ended] {
    server.WaitUntilEnded();
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(ended, &one, sizeof one);
  });
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

  pollfd fds[3] = {{signalFd, POLLIN, 0}, {ended, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  std::string pending;
  bool quit = false;
  while (!quit) {
    if (poll(fds, 3, -1) < 0) continue;
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo info{};
      if (read(signalFd, &info, sizeof info) == sizeof info) {
        if (info.ssi_signo == SIGUSR1) {
          HandleCommand("run", server, quit);
        } else {
          quit = true;
        }
      }
    }
    if (fds[1].revents & POLLIN) {
      std::cerr << "kv218-sim: the line was hung up\n";
      quit = true;
    }
    if (fds[2].revents & (POLLIN | POLLHUP)) {
      char chunk[256];
      const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
      if (n <= 0) {
        fds[2].fd = -1;  // no more commands; signals still end the run
      } else {
        pending.append(chunk, static_cast<std::size_t>(n));
        for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
          HandleCommand(pending.substr(0, eol), server, quit);
          pending.erase(0, eol + 1);
        }
      }
    }
  }
  server.Stop();
  watcher.join();
  close(signalFd);
  close(ended);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  CLI::App app{
      "kv218-sim: a simulated KV-218 programmer on a pseudo-terminal.\n"
      "Prints the path of the port the host opens. SIGUSR1 or \"run\" on standard input\n"
      "starts a stand-alone programming run from the programmer's flash."};
  app.add_option("--baud", args.baud, "line rate in baud, or max for no pacing")
      ->type_name("N|max")
      ->capture_default_str();
  app.add_option("--link", args.link, "make a symlink PATH to the port while running")
      ->type_name("PATH");
  app.add_option("--state", args.state, "keep the flash and its erase counter in FILE")
      ->type_name("FILE");
  app.add_option("--trace", args.trace, "write every frame and reply with time stamps to FILE")
      ->type_name("FILE");
  app.add_option("--fault", args.faults,
                 "commit a fault (repeatable):\n" + kv218::sim::FaultSet::Help())
      ->type_name("NAME");
  app.add_option("--erase-ms", args.eraseMs, "time a bulk erase takes")
      ->type_name("MS")
      ->check(CLI::Range(0, 60000))
      ->capture_default_str();
  app.add_option("--program-ms", args.programMs, "time one written block takes")
      ->type_name("MS")
      ->check(CLI::Range(0, 60000))
      ->capture_default_str();
  app.add_flag("--factory-setting", args.factorySetting,
               "answer the information query with the factory-setting note");
  app.add_option("--note", args.note, "the text of the information note")->type_name("TEXT");
  CLI11_PARSE(app, argc, argv);

  LineOptions line;
  if (!ParseBaud(args.baud, line)) {
    std::cerr << "kv218-sim: --baud takes a rate from 50 to 4000000, or max\n";
    return 2;
  }
  DeviceOptions options;
  std::string error;
  auto faults = kv218::sim::FaultSet::Parse(args.faults, error);
  if (!faults) {
    std::cerr << "kv218-sim: " << error << "\n";
    return 2;
  }
  options.faults = std::move(*faults);
  options.eraseTime = std::chrono::milliseconds(args.eraseMs);
  options.programTime = std::chrono::milliseconds(args.programMs);
  options.factorySetting = args.factorySetting;
  if (!args.note.empty()) options.note = args.note;

  DeviceModel model(options);
  if (!args.state.empty()) {
    bool found = false;
    if (!kv218::sim::LoadState(args.state, model.Memory().flash, found, error)) {
      std::cerr << "kv218-sim: " << error << "\n";
      return 1;
    }
    model.ApplyStartFaults();  // a fault's erase counter wins over the saved one
  }
  kv218::sim::WireTrace trace;
  if (!args.trace.empty()) {
    if (!trace.Open(args.trace, error)) {
      std::cerr << "kv218-sim: " << error << "\n";
      return 1;
    }
    line.trace = &trace;
  }
  line.linkPath = args.link;

  // The signals are taken through a signalfd: block them before any thread starts.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  PtyServer server(model, line);
  if (!server.Start(error)) {
    std::cerr << "kv218-sim: " << error << "\n";
    return 1;
  }
  std::cout << server.SlavePath() << std::endl;
  std::cerr << "kv218-sim: programmer on " << server.SlavePath()
            << (args.link.empty() ? "" : " (" + args.link + ")") << ", "
            << (line.unpaced ? std::string("unpaced") : std::to_string(line.baud) + " baud")
            << "; Ctrl-C ends\n";
  Serve(server);

  int status = 0;
  if (!args.state.empty()) {
    if (!kv218::sim::SaveState(args.state, model.Memory().flash, error)) {
      std::cerr << "kv218-sim: " << error << "\n";
      status = 1;
    }
  }
  return status;
}

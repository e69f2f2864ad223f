#include "cli/cmd_monitor.h"

#include <iostream>
#include <memory>

#include "cli/session.h"
#include "ground/shown_text.h"

namespace kv218::cli {

namespace {

struct MonitorOptions {
  SessionOptions session;
  bool standalone = false;  // --sim-standalone
};

int RunMonitor(const CommonOptions& common, const MonitorOptions& options) {
  Session session(common, options.session);
  if (const int opened = session.Open(); opened != kExitOk) return opened;
  if (!common.quiet) {
    std::cerr << "Watching the programmer on " << ShownText(session.controller().PortPath())
              << "; Ctrl-C ends.\n";
  }
  if (options.standalone && session.simulator() != nullptr) {
    session.simulator()->RequestStandaloneRun();
  }
  StandaloneTally shown;
  // The tally, each time it changed; unfinished runs only once there is one.
  const auto showTally = [&] {
    const StandaloneTally& tally = session.controller().StandaloneRuns();
    if (tally.passed == shown.passed && tally.failed == shown.failed &&
        tally.unfinished == shown.unfinished) {
      return;
    }
    shown = tally;
    if (common.quiet) return;
    std::cerr << "Stand-alone runs: " << shown.passed << " passed, " << shown.failed << " failed";
    if (shown.unfinished > 0) std::cerr << ", " << shown.unfinished << " unfinished";
    std::cerr << "\n";
  };
  while (!session.Interrupted()) {
    const auto before = session.controller().BurstsHandled();
    session.loop().WaitForMessages();
    // Nothing completes a report's line later: show it now rather than when the next comes.
    if (session.controller().BurstsHandled() != before) session.window().Finish();
    showTally();
  }
  // A stand-alone run still open will not be heard to end: recorded unfinished, and counted.
  session.controller().EndStandaloneWatch();
  showTally();
  session.Close();
  return kExitOk;
}

}  // namespace

void AddMonitorCommand(CLI::App& app, const CommonOptions& common, int& exitCode) {
  auto options = std::make_shared<MonitorOptions>();
  CLI::App* command = app.add_subcommand(
      "monitor", "Log the programmer's reports of its stand-alone runs until Ctrl-C");
  AddSessionOptions(*command, options->session);
  AddRecordOption(*command, options->session);
  command->add_flag("--sim-standalone", options->standalone,
                    "With --simulate: have the simulated programmer run once on its own");
  command->callback([options, &common, &exitCode] { exitCode = RunMonitor(common, *options); });
}

}  // namespace kv218::cli

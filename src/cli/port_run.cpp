#include "cli/port_run.h"

#include <algorithm>
#include <cstdio>

#include "cli/session.h"
#include "record/run_recorder.h"

namespace kv218::cli {

namespace {

int Rank(int exitCode) {
  switch (exitCode) {
    case kExitInterrupted:
      return 5;
    case kExitPort:
      return 4;
    case kExitUsage:
      return 3;
    case kExitTimeout:
      return 2;
    case kExitOk:
      return 0;
    default:
      return 1;
  }
}

}  // namespace

int ExitCodeOf(const PortRun& run) {
  if (run.outcome == RunOutcome::Interrupted) return kExitInterrupted;
  return run.opened ? ExitCodeFor(run.outcome) : kExitPort;
}

std::string_view ResultText(const PortRun& run) {
  if (run.outcome == RunOutcome::Interrupted) return "interrupted";
  if (!run.opened) return "port not opened";
  if (run.outcome == RunOutcome::NoFile || run.outcome == RunOutcome::LoadFailed) {
    return "file not loaded";
  }
  if (run.outcome == RunOutcome::Refused) return "file refused";
  // Otherwise the words the run record uses.
  return ResultName(run.outcome);
}

int MoreSerious(int a, int b) { return Rank(b) > Rank(a) ? b : a; }

int ExitCodeOf(const std::vector<PortRun>& runs) {
  int worst = kExitOk;
  for (const PortRun& run : runs) worst = MoreSerious(worst, ExitCodeOf(run));
  return worst;
}

std::string SummaryText(const std::vector<PortRun>& runs) {
  std::size_t width = 0;
  for (const PortRun& run : runs) width = std::max(width, run.port.size());
  std::string text = "\nSummary\n";
  for (const PortRun& run : runs) {
    char line[128];
    const double seconds = std::chrono::duration<double>(run.duration).count();
    std::snprintf(line, sizeof line, "  %-*s  %-16s %7.1f s\n", static_cast<int>(width),
                  run.port.c_str(), std::string(ResultText(run)).c_str(), seconds);
    text += line;
  }
  const int exitCode = ExitCodeOf(runs);
  if (exitCode == kExitOk) {
    text += "Exit status 0: all " + std::to_string(runs.size()) + " succeeded\n";
    return text;
  }
  std::string deciding;
  std::string_view result;
  for (const PortRun& run : runs) {
    if (ExitCodeOf(run) != exitCode) continue;
    result = ResultText(run);
    deciding += (deciding.empty() ? "" : ", ") + run.port;
  }
  text += "Exit status " + std::to_string(exitCode) + ": " + std::string(result) + " on " +
          deciding + "\n";
  return text;
}

}  // namespace kv218::cli

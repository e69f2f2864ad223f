#pragma once
// How a programming run ended; the command line turns it into its exit status.

namespace kv218 {

enum class RunOutcome {
  Succeeded,
  Failed,       // identity NG, checksum NG, the programmer's own failure, endurance limit
  NoFile,       // no HEX file chosen: the warning lines, nothing else
  NoPort,       // the port is not open: the warning lines, nothing else
  NoType,       // no target type selected: "Select the target type", nothing else
  LoadFailed,   // the reload failed (file gone, bad HEX); the error was shown
  Refused,      // the reload found the file suspect and the run was not forced: nothing sent
  TimedOut,     // the programmer stayed silent for the limit's ticks
  Interrupted,  // a close request ended the run
  Busy,         // a run was already in progress; nothing was done
};

// Outcomes whose run was ended by AbortRun inside a wait.
constexpr bool WasAborted(RunOutcome outcome) {
  return outcome == RunOutcome::TimedOut || outcome == RunOutcome::Interrupted;
}

}  // namespace kv218

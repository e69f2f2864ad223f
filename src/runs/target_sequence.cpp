#include "runs/target_sequence.h"

#include <string_view>

#include "image/blank.h"
#include "runs/read_back_check.h"
#include "runs/run_start.h"

namespace kv218 {
namespace {

// The first command of a run: the identity of a target moved in blocks, the whole image for
// one the programmer programs on its own; nothing at all for no type (the wait times out).
void SendFirstCommand(RunContext& run) {
  if (run.target == nullptr) return;
  if (run.target->blockTransfers) {
    run.frames.ReadDeviceId(FamilyOf(run.type));
  } else {
    run.frames.AutoProgram();
  }
}

// The 24-bit words have block frames of their own; the 16-bit targets' carry their family.
bool Words24(const RunContext& run) { return run.target->layout == ImageLayout::Words24; }
void SendWriteProgram(RunContext& run) {
  Words24(run) ? run.frames.WriteProgram() : run.frames.WriteProgram(FamilyOf(run.type));
}
void SendReadProgram(RunContext& run) {
  Words24(run) ? run.frames.ReadProgram() : run.frames.ReadProgram(FamilyOf(run.type));
}

RunOutcome Stopped(WaitResult result) {
  return result == WaitResult::Closed ? RunOutcome::Interrupted : RunOutcome::TimedOut;
}

// Reset and the closing line after a passed verification; "9." after the configuration's
// steps, "6." without them.
RunOutcome ResetTarget(RunContext& run) {
  if (!run.target->reset) {
    LogOf(run).Ended(true);
    return RunOutcome::Succeeded;
  }
  LogOf(run).Step(run.target->configBits ? kResetStep24 : kResetStep16);
  run.frames.ResetTarget();
  const WaitResult reset = AwaitFlag(run, run.station.flags.target.ResetDone, kTargetTimeoutTicks);
  if (reset != WaitResult::FlagSet) return Stopped(reset);
  LogOf(run).Ended(true);
  return RunOutcome::Succeeded;
}

// Type 0 after the program memory compared equal: configuration bits written, read back and
// compared, then the reset.
RunOutcome ConfigurationAndReset(RunContext& run) {
  Station& station = run.station;
  TargetFlags& flags = station.flags.target;
  RunLog log = LogOf(run);
  log.Result(" OK");
  run.frames.WriteConfig();
  WaitResult wait = AwaitFlag(run, flags.ConfigWriteDone, kTargetTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  ClearConfigBytes(station.image);
  run.frames.ReadConfig();
  wait = AwaitFlag(run, flags.ConfigReadDone, kTargetTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  log.Step(kVerifyConfigStep);
  if (!TargetConfigAgrees(run)) {
    log.Ended(false);
    return RunOutcome::Failed;
  }
  log.Result(" OK");
  return ResetTarget(run);
}

// Steps 9 onward. A run stopped by a wait was already ended by AbortRun; any other outcome
// leaves the end (EndRun) to the caller.
RunOutcome Converse(RunContext& run) {
  Station& station = run.station;
  TargetFlags& flags = station.flags.target;
  RunLog log = LogOf(run);
  bool aborted = false;
  auto wait = [&](const std::int32_t& flag) {
    const WaitResult result = AwaitFlag(run, flag, kTargetTimeoutTicks);
    aborted = result != WaitResult::FlagSet;
    return result;
  };

  SendFirstCommand(run);
  WaitResult result = wait(flags.DeviceIdResult);
  if (aborted) return Stopped(result);

  // A reply nobody asked for (no type, nothing sent) ends a run that has no rule to go on by.
  if (run.target == nullptr) return RunOutcome::Failed;
  if (!run.target->blockTransfers) {
    // The programmer did it all; its reply has already written the result line.
    return flags.AutoProgramResult > 0 ? RunOutcome::Succeeded : RunOutcome::Failed;
  }
  if (flags.DeviceIdResult != 1) {
    log.Ended(false);
    return RunOutcome::Failed;
  }

  run.frames.BulkErase(FamilyOf(run.type));
  result = wait(flags.EraseDone);
  if (aborted) return Stopped(result);

  SendWriteProgram(run);
  result = wait(flags.WriteDone);
  if (aborted) return Stopped(result);

  KeepFileImage(station);
  BlankImage(station.image, run.target->layout);
  SendReadProgram(run);
  result = wait(flags.ReadDone);
  if (aborted) return Stopped(result);
  if (flags.ReadDone != 1) {
    // Data of a block never arrived: its step line says NG, and there is nothing to verify.
    log.Ended(false);
    return RunOutcome::Failed;
  }

  log.Step(kVerifyProgramStep);
  if (!TargetProgramAgrees(run)) {
    log.Ended(false);
    return RunOutcome::Failed;
  }
  if (run.target->configBits) return ConfigurationAndReset(run);
  log.Result(" OK");
  return ResetTarget(run);
}

}  // namespace

RunOutcome RunTargetSequence(RunContext& run) {
  HoldTargetType(run);
  if (auto ended = OpenRun(run, 1)) return *ended;
  run.station.flags.target = TargetFlags{};
  AnnounceRun(run);
  run.window.AppendLog("");
  run.window.AppendLog(TimedLine(kProgramTargetHead));
  const RunOutcome outcome = Converse(run);
  if (!WasAborted(outcome)) EndRunNormally(run);
  return outcome;
}

}  // namespace kv218

#include "runs/target_sequence.h"

#include <string_view>

#include "image/blank.h"
#include "runs/read_back_check.h"
#include "runs/run_start.h"

namespace kv218 {
namespace {

// The first command of a run; nothing at all when no type is selected (the wait times out).
void SendFirstCommand(Frames& frames, TargetType type) {
  switch (type) {
    case TargetType::TkSeries:
      frames.ReadDeviceId();
      break;
    case TargetType::MvrxSeries:
    case TargetType::CradleSet:
      frames.ReadDeviceId(FamilyOf(type));
      break;
    case TargetType::EcoMode:
      frames.AutoProgram();
      break;
    default:
      break;
  }
}
// Builders for the target families: type 0 has its own frames; every other selector value
// goes through the family builders with its FamilyOf (so type 1 gives '8', type 2 '9', and
// anything else, type 3 chosen in the middle of a run included, no family byte).
void SendBulkErase(Frames& frames, TargetType type) {
  type == TargetType::TkSeries ? frames.BulkErase() : frames.BulkErase(FamilyOf(type));
}
void SendWriteProgram(Frames& frames, TargetType type) {
  type == TargetType::TkSeries ? frames.WriteProgram() : frames.WriteProgram(FamilyOf(type));
}
void SendReadProgram(Frames& frames, TargetType type) {
  type == TargetType::TkSeries ? frames.ReadProgram() : frames.ReadProgram(FamilyOf(type));
}

RunOutcome Stopped(WaitResult result) {
  return result == WaitResult::Closed ? RunOutcome::Interrupted : RunOutcome::TimedOut;
}

// Reset and the closing line after a passed verification; "6." or "9." by type.
RunOutcome ResetTarget(RunContext& run, std::string_view stepLine) {
  LogOf(run).Step(stepLine);
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
  return ResetTarget(run, kResetStep24);
}

// Steps 9 onward. A run stopped by a wait was already ended by AbortRun; any other outcome
// leaves the end (EndRun) to the caller.
RunOutcome Converse(RunContext& run) {
  Station& station = run.station;
  WindowOps& window = run.window;
  TargetFlags& flags = station.flags.target;
  RunLog log = LogOf(run);
  bool aborted = false;
  auto wait = [&](const std::int32_t& flag) {
    const WaitResult result = AwaitFlag(run, flag, kTargetTimeoutTicks);
    aborted = result != WaitResult::FlagSet;
    return result;
  };

  run.control.AutoProgramResult = -1;
  SendFirstCommand(run.frames, window.SelectedType());
  WaitResult result = wait(flags.DeviceIdResult);
  if (aborted) return Stopped(result);

  if (window.SelectedType() == TargetType::EcoMode) {
    // The programmer did it all; its reply has already written the result line.
    // A type changed to 3 after another first command got no AutoProgram reply: not a success.
    return run.control.AutoProgramResult > 0 ? RunOutcome::Succeeded : RunOutcome::Failed;
  }
  if (flags.DeviceIdResult != 1) {
    log.Ended(false);
    return RunOutcome::Failed;
  }

  SendBulkErase(run.frames, window.SelectedType());
  result = wait(flags.EraseDone);
  if (aborted) return Stopped(result);

  SendWriteProgram(run.frames, window.SelectedType());
  result = wait(flags.WriteDone);
  if (aborted) return Stopped(result);

  const TargetType readType = window.SelectedType();
  KeepFileImage(station);
  if (readType == TargetType::TkSeries) {
    BlankImage24(station.image);
  } else if (readType == TargetType::MvrxSeries || readType == TargetType::CradleSet) {
    BlankImage16(station.image);
  }
  SendReadProgram(run.frames, readType);
  result = wait(flags.ReadDone);
  if (aborted) return Stopped(result);
  if (flags.ReadDone != 1) {
    // Data of a block never arrived: its step line says NG, and there is nothing to verify.
    log.Ended(false);
    return RunOutcome::Failed;
  }

  log.Step(kVerifyProgramStep);
  const TargetType verifyType = window.SelectedType();
  if (verifyType == TargetType::TkSeries || verifyType == TargetType::MvrxSeries ||
      verifyType == TargetType::CradleSet) {
    if (!TargetProgramAgrees(run, verifyType)) {
      log.Ended(false);
      return RunOutcome::Failed;
    }
    if (verifyType == TargetType::TkSeries) return ConfigurationAndReset(run);
    log.Result(" OK");
    return ResetTarget(run, kResetStep16);
  }
  // The selector shows a type without a verification rule (type 3 chosen during the run):
  // the run ends without a result line.
  return RunOutcome::Failed;
}

}  // namespace

RunOutcome RunTargetSequence(RunContext& run) {
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

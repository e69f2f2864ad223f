#include "runs/flash_download.h"

#include "image/blank.h"
#include "runs/read_back_check.h"
#include "runs/run_start.h"

namespace kv218 {
namespace {

// Erase-gauge full scale: the erase time is shown against 15 ticks.
constexpr std::int32_t kEraseGaugeTicks = 15;

RunOutcome Stopped(WaitResult result) {
  return result == WaitResult::Closed ? RunOutcome::Interrupted : RunOutcome::TimedOut;
}

// The erase wait: like AwaitFlag, but each pass also shows the silent ticks on the gauge.
WaitResult AwaitErase(RunContext& run, OnClose onClose) {
  Station& station = run.station;
  station.TimeOutCount = 0;
  while (station.flags.flash.FlashEraseDone == 0) {
    if (CheckTimeout(run, kFlashTimeoutTicks, onClose)) {
      AbortRun(run);
      return StopReason(run, onClose);
    }
    run.window.SetProgress(station.TimeOutCount * 100 / kEraseGaugeTicks);
  }
  return WaitResult::FlagSet;
}

// Type 0 after the flash contents compared equal: the configuration bits stored, read back
// and compared.
RunOutcome StoreConfiguration(RunContext& run) {
  Station& station = run.station;
  FlashFlags& flags = station.flags.flash;
  RunLog log = LogOf(run);
  log.Step(kFlashWriteConfigStep);
  run.frames.FlashWriteConfig();
  WaitResult wait = AwaitFlag(run, flags.FlashConfigWriteDone, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  log.Result(" OK");
  ClearConfigBytes(station.image);
  log.Step(kFlashVerifyConfigStep);
  run.frames.FlashReadConfig();
  wait = AwaitFlag(run, flags.FlashConfigReadDone, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  if (!FlashConfigAgrees(run)) {
    log.Ended(false);
    return RunOutcome::Failed;
  }
  log.Result(" OK");
  log.Ended(true);
  return RunOutcome::Succeeded;
}

// Step 17: the read-back compared with the reference by the type's rule.
RunOutcome Verify(RunContext& run) {
  RunLog log = LogOf(run);
  if (run.target == nullptr) return RunOutcome::Failed;  // no rule, no result line
  if (!FlashProgramAgrees(run)) {
    log.Ended(false);
    return RunOutcome::Failed;
  }
  log.Result(" OK");
  if (run.target->configBits) return StoreConfiguration(run);
  log.Ended(true);
  return RunOutcome::Succeeded;
}

// Steps 8 to 17. A run stopped by a wait was already ended by AbortRun; the endurance stop
// ends itself; any other outcome leaves the end (EndRun) to the caller.
RunOutcome Converse(RunContext& run, bool& ended) {
  Station& station = run.station;
  WindowOps& window = run.window;
  FlashFlags& flags = station.flags.flash;
  RunLog log = LogOf(run);

  station.transfer.EraseCounter = 0;
  run.frames.ReadEraseCounter();
  WaitResult wait = AwaitFlag(run, flags.EraseCounterState, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);

  if (flags.EraseCounterState == 2) {
    log.EnduranceReached();
    run.loop.SetTickTimer(false);
    window.SetButtonsEnabled(true);
    run.frames.EndRun();
    ended = true;
    return RunOutcome::Failed;
  }

  window.AppendLog("");
  window.AppendLog(TimedLine(kProgramFlashHead));
  log.Step(kFlashEraseStep);
  // Once asked, the programmer erases whatever the host does next, and its count of erases
  // is right only when the host stores the new count: a close request waits for the erase's
  // acknowledgement and the count's (each within the time-out), then ends the run here.
  run.control.flashEraseAsked = true;
  run.frames.FlashErase(run.type);
  wait = AwaitErase(run, OnClose::Finish);
  if (wait != WaitResult::FlagSet) return Stopped(wait);

  run.frames.WriteEraseCounter();
  wait = AwaitFlag(run, flags.CounterWriteDone, kFlashTimeoutTicks, OnClose::Finish);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  if (run.control.closeRequested) {
    AbortRun(run);
    return RunOutcome::Interrupted;
  }

  log.Step(kFlashWriteStep);
  station.transfer.FlashBlocks = 0;
  run.frames.FlashWriteData();
  wait = AwaitFlag(run, flags.FlashWriteDone, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  window.SetProgress(100);
  log.Result(" OK");

  KeepFileImage(station);
  if (run.target != nullptr) BlankImage(station.image, run.target->layout);

  log.Step(kFlashVerifyStep);
  station.transfer.ReadRow = 0;
  station.transfer.FlashBlocks = 0;
  station.transfer.ShortBlocks = 0;
  run.frames.FlashReadData();
  wait = AwaitFlag(run, flags.FlashReadDone, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  if (flags.FlashReadDone != 1) {
    // Data of a block never arrived: no sum over the image can stand for the flash.
    log.Result(" NG");
    log.Ended(false);
    return RunOutcome::Failed;
  }

  return Verify(run);
}

}  // namespace

RunOutcome RunFlashDownload(RunContext& run) {
  HoldTargetType(run);
  run.control.flashEraseAsked = false;
  if (auto ended = OpenRun(run, 0)) return *ended;
  run.station.flags.flash = FlashFlags{};
  AnnounceRun(run);
  bool ended = false;
  const RunOutcome outcome = Converse(run, ended);
  if (!ended && !WasAborted(outcome)) EndRunNormally(run);
  return outcome;
}

}  // namespace kv218

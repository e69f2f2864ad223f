#include "runs/flash_download.h"

#include <string>

#include "ground/text.h"
#include "image/blank.h"
#include "runs/read_back_check.h"
#include "runs/run_start.h"

namespace kv218 {
namespace {

// The step and warning texts of this sequence are the tool's own, misspellings included
// ("Writting", "Configuation", "Vreify", "llimit"): operators know them and logs and records
// are searched for them as they stand. They are not to be corrected.

// Erase-gauge full scale: the erase time is shown against 15 ticks.
constexpr std::int32_t kEraseGaugeTicks = 15;

RunOutcome Stopped(WaitResult result) {
  return result == WaitResult::Closed ? RunOutcome::Interrupted : RunOutcome::TimedOut;
}

void LogFailed(WindowOps& window) {
  window.AppendLog("PROGRAMMING FAILED. (" + TimeStampText() + ")");
}
void LogSucceeded(WindowOps& window) {
  window.AppendLog("PROGRAMMING SUCCEEDED. (" + TimeStampText() + ")");
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
  WindowOps& window = run.window;
  window.AppendLog("4. Flash Memory Configuation Bits Writting ...");
  run.frames.FlashWriteConfig();
  WaitResult wait = AwaitFlag(run, flags.FlashConfigWriteDone, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  window.AppendToLastLine(" OK");
  ClearConfigBytes(station.image);
  window.AppendLog("5. Vreify Flash Memory Configuation Bits ...");
  run.frames.FlashReadConfig();
  wait = AwaitFlag(run, flags.FlashConfigReadDone, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  if (!FlashConfigAgrees(run)) {
    LogFailed(window);
    return RunOutcome::Failed;
  }
  window.AppendToLastLine(" OK");
  LogSucceeded(window);
  return RunOutcome::Succeeded;
}

// Step 17: the read-back compared with the reference by the type's rule.
RunOutcome Verify(RunContext& run) {
  WindowOps& window = run.window;
  const TargetType type = window.SelectedType();
  if (!IsTargetTypeItem(ItemIndexOf(type))) return RunOutcome::Failed;  // no rule, no result line
  if (!FlashProgramAgrees(run, type)) {
    LogFailed(window);
    return RunOutcome::Failed;
  }
  window.AppendToLastLine(" OK");
  if (type == TargetType::TkSeries) return StoreConfiguration(run);
  LogSucceeded(window);
  return RunOutcome::Succeeded;
}

// Steps 8 to 17. A run stopped by a wait was already ended by AbortRun; the endurance stop
// ends itself; any other outcome leaves the end (EndRun) to the caller.
RunOutcome Converse(RunContext& run, bool& ended) {
  Station& station = run.station;
  WindowOps& window = run.window;
  FlashFlags& flags = station.flags.flash;

  station.transfer.EraseCounter = 0;
  run.frames.ReadEraseCounter();
  WaitResult wait = AwaitFlag(run, flags.EraseCounterState, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);

  if (flags.EraseCounterState == 2) {
    window.AppendLog("");
    window.AppendLog("FLASH MEMORY cycling endurance reach llimit !!");
    window.AppendLog("Please contact with Velkor to repair it !!");
    run.loop.SetTickTimer(false);
    window.SetButtonsEnabled(true);
    run.frames.EndRun();
    ended = true;
    return RunOutcome::Failed;
  }

  window.AppendLog("");
  window.AppendLog("PROGRAMMING FLASH MEMORY ... (" + TimeStampText() + ")");
  window.AppendLog("1. Bulk Erasing Flash Memory ...");
  // Once asked, the programmer erases whatever the host does next, and its count of erases
  // is right only when the host stores the new count: a close request waits for the erase's
  // acknowledgement and the count's (each within the time-out), then ends the run here.
  run.frames.FlashErase(window.SelectedType());
  wait = AwaitErase(run, OnClose::Finish);
  if (wait != WaitResult::FlagSet) return Stopped(wait);

  run.frames.WriteEraseCounter();
  wait = AwaitFlag(run, flags.CounterWriteDone, kFlashTimeoutTicks, OnClose::Finish);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  if (run.control.closeRequested) {
    AbortRun(run);
    return RunOutcome::Interrupted;
  }

  window.AppendLog("2. Flash Memory Writting ...");
  station.transfer.FlashBlocks = 0;
  run.frames.FlashWriteData();
  wait = AwaitFlag(run, flags.FlashWriteDone, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  window.SetProgress(100);
  window.AppendToLastLine(" OK");

  const TargetType blankType = window.SelectedType();
  KeepFileImage(station);
  if (blankType == TargetType::TkSeries) {
    BlankImage24(station.image);
  } else if (blankType == TargetType::MvrxSeries || blankType == TargetType::CradleSet) {
    BlankImage16(station.image);
  } else if (blankType == TargetType::EcoMode) {
    BlankImage1K(station.image);
  }

  window.AppendLog("3. Verify Flash Memory ...");
  station.transfer.ReadRow = 0;
  station.transfer.FlashBlocks = 0;
  station.transfer.ShortBlocks = 0;
  run.frames.FlashReadData();
  wait = AwaitFlag(run, flags.FlashReadDone, kFlashTimeoutTicks);
  if (wait != WaitResult::FlagSet) return Stopped(wait);
  if (flags.FlashReadDone != 1) {
    // Data of a block never arrived: no sum over the image can stand for the flash.
    window.AppendToLastLine(" NG");
    LogFailed(window);
    return RunOutcome::Failed;
  }

  return Verify(run);
}

}  // namespace

RunOutcome RunFlashDownload(RunContext& run) {
  if (auto ended = OpenRun(run, 0)) return *ended;
  run.station.flags.flash = FlashFlags{};
  AnnounceRun(run);
  bool ended = false;
  const RunOutcome outcome = Converse(run, ended);
  if (!ended && !WasAborted(outcome)) EndRunNormally(run);
  return outcome;
}

}  // namespace kv218

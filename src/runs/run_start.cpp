#include "runs/run_start.h"

#include <string>

#include "image/hex_loader.h"
#include "image/load_texts.h"

namespace kv218 {

std::optional<RunOutcome> OpenRun(RunContext& run, std::int32_t biasForType1) {
  Station& station = run.station;
  WindowOps& window = run.window;
  if (station.HexFileName.empty()) {
    window.AppendLog("");
    window.AppendLog(kNoFileWarning);
    return RunOutcome::NoFile;
  }
  window.SetButtonsEnabled(false);
  AppendLoadingLines(window, station.HexFileName);
  const TargetType type = run.type;
  if (run.target != nullptr && run.target->protectedRows) {
    station.image.ChecksumBiasFlag = biasForType1;
  }
  run.control.lastLoad = run.images != nullptr
                             ? run.images->Load(station.image, station.HexFileName, type, window,
                                                run.loop, run.control.loadOptions)
                             : LoadImage(station.image, station.HexFileName, type, window, run.loop,
                                         run.control.loadOptions);
  const LoadResult& loaded = run.control.lastLoad;
  if (loaded.shownChecksum) {
    station.events->ImageLoaded(PanelChecksumText(*loaded.shownChecksum));
  }
  // A type without a loader loads nothing and the run goes on, as with any other outcome but
  // an error.
  if (loaded.status == LoadStatus::Failed) {
    // The loader has shown its error; the window goes back to idle instead of staying with
    // its buttons disabled.
    station.events->LoadFailed(loaded.error);
    window.SetButtonsEnabled(true);
    return RunOutcome::LoadFailed;
  }
  if (run.loaded && !run.loaded(loaded)) {
    // A suspect file the operator did not force: the programmer never hears of the run.
    window.SetButtonsEnabled(true);
    return RunOutcome::Refused;
  }
  if (run.control.closeRequested) {
    // Closing while the file was read: nothing was sent yet, but the programmer is told the
    // run is over all the same.
    run.frames.EndRun();
    window.SetButtonsEnabled(true);
    return RunOutcome::Interrupted;
  }
  ArmRun(run);
  return std::nullopt;
}

void ArmRun(RunContext& run) {
  // A run that timed out in the middle of a block transfer left its phase behind; the next
  // run must start its transfers with the start frames.
  run.station.transfer.WritePhase = 0;
  run.station.transfer.ReadPhase = 0;
  run.loop.SetTickTimer(true);
}

void AnnounceRun(RunContext& run) {
  run.frames.BeginRun();
  if (run.sleep) run.sleep(kBeginRunPause);
}

}  // namespace kv218

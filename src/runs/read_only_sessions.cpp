#include "runs/read_only_sessions.h"

#include <string>

#include "ground/text.h"
#include "image/blank.h"
#include "image/record_placement.h"
#include "runs/read_back_check.h"
#include "runs/run_start.h"

namespace kv218 {
namespace {

// The last word address of the type-0 program window: a read of the whole window moves the
// blocks a file reaching it would.
constexpr std::int64_t kLastWord24 = kProgramWords24 - 2;

RunOutcome Stopped(WaitResult result) {
  return result == WaitResult::Closed ? RunOutcome::Interrupted : RunOutcome::TimedOut;
}

// The closing line, and the run's outcome. A read whose result could not be kept failed.
RunOutcome Close(RunContext& run, bool succeeded) {
  if (succeeded && run.keep && !run.keep()) succeeded = false;
  LogOf(run).Ended(succeeded);
  return succeeded ? RunOutcome::Succeeded : RunOutcome::Failed;
}

void Title(RunContext& run, std::string_view head) {
  run.window.AppendLog("");
  run.window.AppendLog(TimedLine(head));
}

// A read-back's wait; nothing when its flag came, else how the run ended (already aborted).
std::optional<RunOutcome> Await(RunContext& run, const std::int32_t& flag, std::int32_t limit) {
  const WaitResult result = AwaitFlag(run, flag, limit);
  if (result != WaitResult::FlagSet) return Stopped(result);
  return std::nullopt;
}

// --- the target -------------------------------------------------------------------------

// Step 1 of the program run: the identity, accepted or not.
std::optional<RunOutcome> ReadIdentity(RunContext& run) {
  run.frames.ReadDeviceId(FamilyOf(run.type));
  if (auto stopped = Await(run, run.station.flags.target.DeviceIdResult, kTargetTimeoutTicks)) {
    return stopped;
  }
  if (run.station.flags.target.DeviceIdResult != 1) return Close(run, false);
  return std::nullopt;
}

// The program run's read-back of the program memory, with this session's step line; its line
// is completed by the reply decoding (" NG" when data of a block never came).
std::optional<RunOutcome> ReadProgramMemory(RunContext& run, std::string_view line) {
  BlankImage(run.station.image, run.target->layout);
  run.frames.ReadProgramAs(run.type, line);
  if (auto stopped = Await(run, run.station.flags.target.ReadDone, kTargetTimeoutTicks)) {
    return stopped;
  }
  if (run.station.flags.target.ReadDone != 1) return Close(run, false);
  return std::nullopt;
}

// Type 0: the configuration bits, the registers cleared first as in the program run.
std::optional<RunOutcome> ReadConfiguration(RunContext& run, std::string_view line) {
  ClearConfigBytes(run.station.image);
  run.frames.ReadConfig(line);
  return Await(run, run.station.flags.target.ConfigReadDone, kTargetTimeoutTicks);
}

// A step line judged by check: " OK", or the check's NG and the closing line.
template <typename Check>
std::optional<RunOutcome> Judge(RunContext& run, std::string_view line, Check check) {
  LogOf(run).Step(line);
  if (!check()) return Close(run, false);
  LogOf(run).Result(" OK");
  return std::nullopt;
}

RunOutcome VerifyTarget(RunContext& run) {
  if (auto ended = ReadIdentity(run)) return *ended;
  KeepFileImage(run.station);
  if (auto ended = ReadProgramMemory(run, kVerifyReadProgramStep)) return *ended;
  if (auto ended = Judge(run, kVerifyProgramOnlyStep, [&] { return TargetProgramAgrees(run); })) {
    return *ended;
  }
  if (run.target->configBits) {
    if (auto ended = ReadConfiguration(run, kVerifyReadConfigStep)) return *ended;
    if (auto ended = Judge(run, kVerifyConfigOnlyStep, [&] { return TargetConfigAgrees(run); })) {
      return *ended;
    }
  }
  return Close(run, true);
}

RunOutcome ReadTarget(RunContext& run) {
  if (auto ended = ReadIdentity(run)) return *ended;
  // The 24-bit words move as many blocks as the highest address needs: all of the window.
  if (run.target->layout == ImageLayout::Words24) run.station.image.HighestAddress = kLastWord24;
  if (auto ended = ReadProgramMemory(run, kVerifyReadProgramStep)) return *ended;
  if (run.target->configBits) {
    if (auto ended = ReadConfiguration(run, kReadReadConfigStep)) return *ended;
  }
  return Close(run, true);
}

// --- the programmer's flash -------------------------------------------------------------

// The store's read-back: FlashReadData block after block into the blanked image.
std::optional<RunOutcome> ReadFlashMemory(RunContext& run, std::string_view line) {
  Station& station = run.station;
  BlankImage(station.image, run.target->layout);
  LogOf(run).Step(line);
  station.transfer.ReadRow = 0;
  station.transfer.FlashBlocks = 0;
  station.transfer.ShortBlocks = 0;
  run.frames.FlashReadData();
  if (auto stopped = Await(run, station.flags.flash.FlashReadDone, kFlashTimeoutTicks)) {
    return stopped;
  }
  run.window.SetProgress(100);
  const bool whole = station.flags.flash.FlashReadDone == 1;
  LogOf(run).Result(whole ? " OK" : " NG");
  if (!whole) return Close(run, false);
  return std::nullopt;
}

std::optional<RunOutcome> ReadFlashConfiguration(RunContext& run, std::string_view line) {
  ClearConfigBytes(run.station.image);
  LogOf(run).Step(line);
  run.frames.FlashReadConfig();
  if (auto stopped = Await(run, run.station.flags.flash.FlashConfigReadDone, kFlashTimeoutTicks)) {
    return stopped;
  }
  LogOf(run).Result(" OK");
  return std::nullopt;
}

RunOutcome VerifyFlash(RunContext& run) {
  KeepFileImage(run.station);
  if (auto ended = ReadFlashMemory(run, kReadFlashStep)) return *ended;
  if (auto ended = Judge(run, kVerifyFlashStep, [&] { return FlashProgramAgrees(run); })) {
    return *ended;
  }
  if (run.target->configBits) {
    if (auto ended = ReadFlashConfiguration(run, kVerifyReadFlashConfigStep)) {
      return *ended;
    }
    if (auto ended = Judge(run, kVerifyFlashConfigStep, [&] { return FlashConfigAgrees(run); })) {
      return *ended;
    }
  }
  return Close(run, true);
}

RunOutcome ReadFlash(RunContext& run) {
  if (auto ended = ReadFlashMemory(run, kReadFlashStep)) return *ended;
  if (run.target->configBits) {
    if (auto ended = ReadFlashConfiguration(run, kReadFlashConfigStep)) {
      return *ended;
    }
  }
  return Close(run, true);
}

// --- openings -----------------------------------------------------------------------------

// The session's body between its opening and EndRun; a run a wait stopped was ended by
// AbortRun already.
RunOutcome Finish(RunContext& run, RunOutcome outcome) {
  if (!WasAborted(outcome)) EndRunNormally(run);
  return outcome;
}

// Opens a session without a file: buttons off, the transfers' phases reset, the tick timer on,
// BeginRun and its pause.
std::optional<RunOutcome> OpenWithoutFile(RunContext& run) {
  run.window.SetButtonsEnabled(false);
  if (run.control.closeRequested) {
    run.window.SetButtonsEnabled(true);
    return RunOutcome::Interrupted;
  }
  ArmRun(run);
  return std::nullopt;
}

// A type the session cannot serve (no read command for its target, or none selected) is
// refused before anything is sent.
std::optional<RunOutcome> Refuse(RunContext& run, bool flash) {
  HoldTargetType(run);
  if (flash ? run.target != nullptr : TargetCanBeRead(run.type)) return std::nullopt;
  // A type there is, but its target is only ever programmed by AutoProgram (type 3).
  run.window.ShowError(run.target != nullptr
                           ? "Eco Mode targets have no read command: verify or read the image "
                             "stored in the KV-218 instead"
                           : "No target type selected");
  return RunOutcome::Failed;
}

}  // namespace

bool TargetCanBeRead(TargetType type) {
  const TargetTypeRow* row = RowOf(type);
  return row != nullptr && row->blockTransfers;
}

RunOutcome RunVerifyTarget(RunContext& run) {
  run.verdictWord = kVerifyVerdict;
  if (auto refused = Refuse(run, false)) return *refused;
  if (auto ended = OpenRun(run, 1)) return *ended;
  run.station.flags.target = TargetFlags{};
  AnnounceRun(run);
  Title(run, kVerifyTargetHead);
  return Finish(run, VerifyTarget(run));
}

RunOutcome RunVerifyFlash(RunContext& run) {
  run.verdictWord = kVerifyVerdict;
  if (auto refused = Refuse(run, true)) return *refused;
  if (auto ended = OpenRun(run, 0)) return *ended;
  run.station.flags.flash = FlashFlags{};
  AnnounceRun(run);
  Title(run, kVerifyFlashHead);
  return Finish(run, VerifyFlash(run));
}

RunOutcome RunReadTarget(RunContext& run) {
  run.verdictWord = kReadVerdict;
  if (auto refused = Refuse(run, false)) return *refused;
  if (auto ended = OpenWithoutFile(run)) return *ended;
  run.station.flags.target = TargetFlags{};
  AnnounceRun(run);
  Title(run, kReadTargetHead);
  return Finish(run, ReadTarget(run));
}

RunOutcome RunReadFlash(RunContext& run) {
  run.verdictWord = kReadVerdict;
  if (auto refused = Refuse(run, true)) return *refused;
  if (auto ended = OpenWithoutFile(run)) return *ended;
  run.station.flags.flash = FlashFlags{};
  AnnounceRun(run);
  Title(run, kReadFlashHead);
  return Finish(run, ReadFlash(run));
}

}  // namespace kv218

#include "cli/cmd_info.h"

#include <iostream>
#include <memory>

#include "cli/session.h"
#include "runs/waits.h"

namespace kv218::cli {

namespace {

int RunInfo(const CommonOptions& common, const SessionOptions& options) {
  Session session(common, options);
  if (const int opened = session.Open(); opened != kExitOk) return opened;
  Controller& controller = session.controller();
  const Station& station = controller.station();

  // The same patience as a step of a target run: six ticks without a byte from the question
  // on, and sixty in all while bytes that are no note keep coming.
  constexpr std::int32_t kAnswerLimit = kTargetTimeoutTicks * kAnswerLimitFactor;
  const std::uint32_t notesBefore = station.notesEnded;
  controller.QueryNote();
  session.loop().SetTickTimer(true);
  bool answered = false;
  while (!answered && !session.Interrupted() && station.TimeOutCount < kTargetTimeoutTicks &&
         station.awaited.ticks < kAnswerLimit) {
    session.loop().WaitForMessages();
    // A note longer than one read counts once it is all there, whichever read ends it.
    answered = station.notesEnded != notesBefore;
  }
  session.loop().SetTickTimer(false);
  const bool silent = station.TimeOutCount >= kTargetTimeoutTicks;
  session.Close();
  if (answered) return kExitOk;
  if (session.Interrupted()) return kExitInterrupted;
  if (!silent) {
    std::cerr << "kv218: the programmer sent bytes but no note for " << kAnswerLimit
              << " seconds\n";
  }
  std::cerr << "kv218: no note from the programmer\n";
  return kExitTimeout;
}

}  // namespace

void AddInfoCommand(CLI::App& app, const CommonOptions& common, int& exitCode) {
  auto options = std::make_shared<SessionOptions>();
  CLI::App* command = app.add_subcommand("info", "Ask the programmer for its information note");
  AddSessionOptions(*command, *options);
  command->callback([options, &common, &exitCode] { exitCode = RunInfo(common, *options); });
}

}  // namespace kv218::cli

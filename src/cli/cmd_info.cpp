#include "cli/cmd_info.h"

#include <iostream>
#include <memory>

#include "cli/session.h"
#include "runs/waits.h"

namespace kv218::cli {

namespace {

// The programmer's answer to the query: 1F '-' 'S' (factory setting) or 1F '-' 'F' + text,
// at the start of a burst.
bool IsNote(const RxBuffer& rx) {
  return rx.RxCount >= 3 && rx.bytes[0] == 0x1F && rx.bytes[1] == 0x2D &&
         (rx.bytes[2] == 'S' || rx.bytes[2] == 'F');
}

int RunInfo(const CommonOptions& common, const SessionOptions& options) {
  Session session(common, options);
  if (const int opened = session.Open(); opened != kExitOk) return opened;
  Controller& controller = session.controller();
  const Station& station = controller.station();

  // The same patience as a step of a target run: six ticks without a byte from the question
  // on, and sixty in all while bytes that are no note keep coming.
  constexpr std::int32_t kAnswerLimit = kTargetTimeoutTicks * kAnswerLimitFactor;
  controller.QueryNote();
  session.loop().SetTickTimer(true);
  bool answered = false;
  while (!answered && !session.Interrupted() && station.TimeOutCount < kTargetTimeoutTicks &&
         station.awaited.ticks < kAnswerLimit) {
    const auto before = controller.BurstsHandled();
    session.loop().WaitForMessages();
    answered = controller.BurstsHandled() != before && IsNote(station.rx);
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

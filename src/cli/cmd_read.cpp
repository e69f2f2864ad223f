#include "cli/cmd_read.h"

#include <iostream>
#include <memory>
#include <string>

#include "cli/port_run.h"
#include "cli/session.h"
#include "ground/platform.h"
#include "image/hex_writer.h"
#include "runs/read_only_sessions.h"

namespace kv218::cli {

namespace {

// The HEX text through a temporary file beside out, moved over it only when it is all there.
bool WriteHexFile(const std::string& out, const std::string& text) {
  ReplacementFile file(out);
  if (file.IsOpen() && file.Write(text) && file.Commit()) return true;
  std::cerr << "kv218 read: cannot write " << out << ": " << file.Error() << '\n';
  return false;
}

int RunRead(const CommonOptions& common, const SessionOptions& options, const std::string& out,
            bool flash) {
  if (SeveralPorts(options)) {
    std::cerr << "kv218 read: one port at a time (a file is read from one programmer)\n";
    return kExitUsage;
  }
  if (!flash) {
    const auto type = TargetTypeFor(common, options);
    if (!type) return kExitUsage;
    if (!TargetCanBeRead(*type)) {  // type 3: programmed by AutoProgram only
      std::cerr << "kv218 read: an Eco Mode (type 3) target cannot be read; read --flash reads "
                   "the image stored in the KV-218\n";
      return kExitUsage;
    }
  }
  Session session(common, options);
  if (const int opened = session.Open(); opened != kExitOk) {
    session.Close();
    return opened;
  }
  Controller& controller = session.controller();
  const RunOutcome outcome = flash ? controller.ReadProgrammer() : controller.ReadTarget();
  int status = ExitCodeFor(outcome);
  if (outcome == RunOutcome::Succeeded &&
      !WriteHexFile(out, HexTextOf(controller.station().image, session.window().SelectedType()))) {
    status = kExitFailure;
  }
  session.Close();
  if (outcome == RunOutcome::Interrupted) std::cerr << "kv218: interrupted\n";
  if (outcome == RunOutcome::TimedOut) std::cerr << "kv218: no response from the programmer\n";
  return status;
}

}  // namespace

void AddReadCommand(CLI::App& app, const CommonOptions& common, int& exitCode) {
  struct Arguments {
    std::string out;
    bool flash = false;
    SessionOptions session;
  };
  auto args = std::make_shared<Arguments>();
  CLI::App* command = app.add_subcommand(
      "read",
      "Read a target's firmware (or with --flash the image stored in the programmer) into an "
      "Intel HEX file");
  command->add_option("--out", args->out, "The HEX file to write (replaced whole, or left alone)")
      ->required()
      ->type_name("OUT.hex");
  command->add_flag("--flash", args->flash,
                    "Read the image stored in the programmer's own flash instead of a target");
  AddSessionOptions(*command, args->session);
  AddRecordOption(*command, args->session);
  command->callback([args, &common, &exitCode] {
    exitCode = RunRead(common, args->session, args->out, args->flash);
  });
}

}  // namespace kv218::cli

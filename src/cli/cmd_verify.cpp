#include "cli/cmd_verify.h"

#include <iostream>
#include <memory>
#include <string>

#include "cli/session.h"
#include "runs/read_only_sessions.h"

namespace kv218::cli {

void AddVerifyCommand(CLI::App& app, const CommonOptions& common, int& exitCode) {
  struct Arguments {
    std::string file;
    bool flash = false;
    SessionOptions session;
  };
  auto args = std::make_shared<Arguments>();
  CLI::App* command = app.add_subcommand(
      "verify",
      "Check a target (or with --flash the image stored in the programmer) against a HEX file "
      "without erasing or writing anything; a difference is named by its first address");
  command->add_option("FILE", args->file, "The Intel HEX file (*.hex, *.a43)")->required();
  command->add_flag("--flash", args->flash,
                    "Check the image stored in the programmer's own flash instead of a target");
  AddSessionOptions(*command, args->session);
  command->add_flag("--strict", args->session.strict, kStrictHelp);
  command->add_flag("--lenient", args->session.lenient, kLenientHelp);
  AddRecordOption(*command, args->session);
  command->callback([args, &common, &exitCode] {
    if (!args->flash) {
      // Refused before anything is opened or sent: type 3 targets have no read command.
      const auto type = TargetTypeFor(common, args->session);
      if (!type) {
        exitCode = kExitUsage;
        return;
      }
      if (!TargetCanBeRead(*type)) {  // type 3: programmed by AutoProgram only
        std::cerr << "kv218 verify: an Eco Mode (type 3) target cannot be read; verify --flash "
                     "checks the image stored in the KV-218\n";
        exitCode = kExitUsage;
        return;
      }
    }
    exitCode =
        RunSequenceCommand(common, args->session, args->file,
                           args->flash ? &Controller::VerifyProgrammer : &Controller::VerifyTarget);
  });
}

}  // namespace kv218::cli

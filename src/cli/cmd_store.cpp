#include "cli/cmd_store.h"

#include <memory>
#include <string>

#include "cli/session.h"

namespace kv218::cli {

void AddStoreCommand(CLI::App& app, const CommonOptions& common, int& exitCode) {
  struct Arguments {
    std::string file;
    SessionOptions session;
  };
  auto args = std::make_shared<Arguments>();
  CLI::App* command = app.add_subcommand(
      "store",
      "Store a HEX file in the programmer's own flash, from which it programs targets by itself");
  command->add_option("FILE", args->file, "The Intel HEX file (*.hex, *.a43)")->required();
  AddSessionOptions(*command, args->session);
  command->add_flag("--strict", args->session.strict, kStrictHelp);
  command->add_flag("--lenient", args->session.lenient, kLenientHelp);
  AddRecordOption(*command, args->session);
  command->callback([args, &common, &exitCode] {
    exitCode =
        RunSequenceCommand(common, args->session, args->file, &Controller::StoreInProgrammer);
  });
}

}  // namespace kv218::cli

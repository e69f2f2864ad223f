// kv218: the command line over the same core as the window.
#include <CLI/CLI.hpp>

#include <clocale>

#include "cli/cli_common.h"
#include "cli/cmd_info.h"
#include "cli/cmd_load.h"
#include "cli/cmd_monitor.h"
#include "cli/cmd_ports.h"
#include "cli/cmd_program.h"
#include "cli/cmd_read.h"
#include "cli/cmd_store.h"
#include "cli/cmd_verify.h"
#include "cli/terminal.h"

int main(int argc, char** argv) {
  using namespace kv218::cli;
  // The log's time stamps in the user's date and time form, as the window shows them.
  std::setlocale(LC_TIME, "");
  // Before any thread: they all inherit it.
  KeepRunningWithoutAReader();
  // UTF-8 output and the progress rows' sequences for the run, the console as it was after.
  const ConsoleSetup console(SystemConsole());

  CLI::App app{"kv218: the command line of the KV-218 device programmer's companion", "kv218"};
  app.set_version_flag("--version", "kv218 " KV218_VERSION);
  // A path such as /tmp/x.hex is a file, not an option, on Windows too.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);
  // The common options may also follow the subcommand ("kv218 load x.hex -q").
  app.fallthrough();

  CommonOptions common;
  app.add_option("--settings", common.settingsPath,
                 "Settings file (default: kv218tool.INI beside the executable, or for an installed "
                 "copy in ~/.config/kv218tool)");
  app.add_flag("-q,--quiet", common.quiet, "No log lines and no progress bar; errors still shown");

  int exitCode = kExitOk;
  AddLoadCommand(app, common, exitCode);
  AddProgramCommand(app, common, exitCode);
  AddStoreCommand(app, common, exitCode);
  AddVerifyCommand(app, common, exitCode);
  AddReadCommand(app, common, exitCode);
  AddInfoCommand(app, common, exitCode);
  AddMonitorCommand(app, common, exitCode);
  AddPortsCommand(app, exitCode);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version exit 0; every other parse error is a usage error.
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }
  return exitCode;
}

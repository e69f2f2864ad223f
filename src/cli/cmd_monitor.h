#pragma once
// kv218 monitor: logs what the programmer reports of its own stand-alone programming runs
// (and anything else it sends) until Ctrl-C.

#include <CLI/CLI.hpp>

#include "cli/cli_common.h"

namespace kv218::cli {

// Adds the subcommand; when it runs, its exit status goes to exitCode.
void AddMonitorCommand(CLI::App& app, const CommonOptions& common, int& exitCode);

}  // namespace kv218::cli

#pragma once
// kv218 program FILE: programs a target from a HEX file through the programmer, as the window's
// PC-to-Target button does.
// Standard output carries the log pane's lines; the exit status tells the outcome.

#include <CLI/CLI.hpp>

#include "cli/cli_common.h"

namespace kv218::cli {

// Adds the subcommand; when it runs, its exit status goes to exitCode.
void AddProgramCommand(CLI::App& app, const CommonOptions& common, int& exitCode);

}  // namespace kv218::cli

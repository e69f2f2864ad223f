#pragma once
// kv218 store FILE: stores a HEX file in the programmer's own flash, as the window's
// PC-to-KV-218 button does (with the erase-counter check at 100,000 cycles).
// Standard output carries the log pane's lines; the exit status tells the outcome.

#include <CLI/CLI.hpp>

#include "cli/cli_common.h"

namespace kv218::cli {

// Adds the subcommand; when it runs, its exit status goes to exitCode.
void AddStoreCommand(CLI::App& app, const CommonOptions& common, int& exitCode);

}  // namespace kv218::cli

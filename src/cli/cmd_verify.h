#pragma once
// kv218 verify FILE: checks a target against a HEX file, reading only (identity, program
// memory, type 0's configuration bits); --flash checks the image stored in the programmer
// instead. Nothing is erased or written. Options and exit statuses are those of program.

#include <CLI/CLI.hpp>

#include "cli/cli_common.h"

namespace kv218::cli {

// Adds the subcommand; when it runs, its exit status goes to exitCode.
void AddVerifyCommand(CLI::App& app, const CommonOptions& common, int& exitCode);

}  // namespace kv218::cli

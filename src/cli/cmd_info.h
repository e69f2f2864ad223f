#pragma once
// kv218 info: asks the programmer for its information note, as a double click on the
// window's log does, and prints it ("<<NOTE>> ..."). Exit 3 when no note comes within six
// seconds.

#include <CLI/CLI.hpp>

#include "cli/cli_common.h"

namespace kv218::cli {

// Adds the subcommand; when it runs, its exit status goes to exitCode.
void AddInfoCommand(CLI::App& app, const CommonOptions& common, int& exitCode);

}  // namespace kv218::cli

#pragma once
// kv218 load FILE [--type T] [--image-out PATH] [--strict]: reads a HEX file into the memory
// image of a target type as the window's load command does. Standard output carries the log
// lines, standard error the status bar's checksum as its last line, "checksum: XXXX".

#include <CLI/CLI.hpp>

#include "cli/cli_common.h"

namespace kv218::cli {

// Adds the subcommand; when it runs, its exit status goes to exitCode.
void AddLoadCommand(CLI::App& app, const CommonOptions& common, int& exitCode);

}  // namespace kv218::cli

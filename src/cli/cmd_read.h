#pragma once
// kv218 read --out OUT.hex: reads a target's whole program memory (type 0 with its
// configuration bits), or with --flash the image stored in the programmer, and writes it as
// an Intel HEX file that load, program and the window read back to the same image. The file
// is written whole or not at all: a read that fails or is interrupted leaves none.

#include <CLI/CLI.hpp>

#include "cli/cli_common.h"

namespace kv218::cli {

// Adds the subcommand; when it runs, its exit status goes to exitCode.
void AddReadCommand(CLI::App& app, const CommonOptions& common, int& exitCode);

}  // namespace kv218::cli

#pragma once
// kv218 ports: the serial devices on this machine, one a line: the path to give --port (or
// PORT), the stable name ("-" when there is none), and vendor and product as far as the system
// knows them, separated by tabs.

#include <CLI/CLI.hpp>

namespace kv218::cli {

void AddPortsCommand(CLI::App& app, int& exitCode);

}  // namespace kv218::cli

#pragma once
// What the command line asks of the terminal it runs on. One source per platform.

#include <cstddef>

namespace kv218::cli {

// Whether descriptor fd (0, 1 or 2) is a terminal (a console on Windows).
bool IsTerminal(int fd);

// The width in columns of the terminal on descriptor fd; 80 when it does not tell.
std::size_t TerminalColumns(int fd);

}  // namespace kv218::cli

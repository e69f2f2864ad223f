#pragma once
// What the command line asks of the terminal it runs on. One source per platform.

#include <cstddef>

namespace kv218::cli {

// Whether descriptor fd (0, 1 or 2) is a terminal (a console on Windows).
bool IsTerminal(int fd);

// The width in columns of the terminal on descriptor fd; 80 when it does not tell.
std::size_t TerminalColumns(int fd);

// A write to a pipe nobody reads any more fails instead of ending the process (SIGPIPE
// ignored on POSIX; Windows has no such signal): a run whose log is piped into "head" goes on
// to its end and its record.
void KeepRunningWithoutAReader();

}  // namespace kv218::cli

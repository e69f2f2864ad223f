#pragma once
// What the command line asks of the terminal it runs on. One source per platform.

#include <cstddef>

#include "cli/console_setup.h"

namespace kv218::cli {

// Whether descriptor fd (0, 1 or 2) is a terminal (a console on Windows).
bool IsTerminal(int fd);

// The width in columns of the terminal on descriptor fd; 80 when it does not tell.
std::size_t TerminalColumns(int fd);

// Whether progress rows drawn with terminal sequences show on descriptor fd's terminal as
// meant: always on POSIX; on Windows when its console processes them (ConsoleSetup).
bool TerminalProcessesSequences(int fd);

// The console of the error stream (Windows); on POSIX one there is none of, which needs nothing.
ConsoleCalls& SystemConsole();

// A write to a pipe nobody reads any more fails instead of ending the process (SIGPIPE
// ignored on POSIX; Windows has no such signal): a run whose log is piped into "head" goes on
// to its end and its record.
void KeepRunningWithoutAReader();

}  // namespace kv218::cli

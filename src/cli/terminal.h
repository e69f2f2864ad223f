#pragma once
// What the command line asks of the terminal it runs on.

#include <cstddef>

namespace kv218::cli {

// The width in columns of the terminal on descriptor fd; 80 when it does not tell.
std::size_t TerminalColumns(int fd);

}  // namespace kv218::cli

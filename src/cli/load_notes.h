#pragma once
// What the command line says about a file that loaded but is suspect: one that lacks its
// end-of-file record (cut short?), holds no data records (no HEX file at all?), or holds
// records that the target type's memory has no room for (with the addresses they cover and
// the type they fit). --strict refuses the first two.

#include <ostream>
#include <string>

#include "image/hex_loader.h"

namespace kv218::cli {

// One line on err per finding, nothing for a sound file or a load that failed (its error
// has been shown).
void PrintLoadNotes(std::ostream& err, const std::string& file, TargetType targetType,
                    const LoadResult& result);

// What program, store and verify say on standard error when they refused a suspect file (the
// reasons are in the log's warning line): the way to run it all the same.
std::string SuspectFileRefusalText(const std::string& file);

}  // namespace kv218::cli

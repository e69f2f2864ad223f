#pragma once
// What a load noticed about a file that loaded but is suspect: no data records (no HEX file
// at all?), no end-of-file record (cut short?), or records the selected type's memory has no
// room for (a file of another type?). The command line prints them on standard error, the
// window as warning lines after the loading lines; the file loads all the same.

#include <string>
#include <vector>

#include "ground/target_type.h"
#include "image/hex_loader.h"

namespace kv218 {

// One phrase per finding, in lower case ("no data records", "no end-of-file record",
// "36 records outside the memory of Cradle Set ignored (0x8000 - 0x557FF; they fit TK
// Series)"); none for a sound file or a load that failed (its error has been shown).
std::vector<std::string> LoadFindings(const LoadResult& result, TargetType targetType);

}  // namespace kv218

#pragma once
// What a load noticed about a file that loaded but is suspect: no data records (no HEX file
// at all?), no end-of-file record (cut short?), damaged records (bytes before a record's ':',
// so the record was not loaded), or records the selected type's memory has no room for (a
// file of another type?). The command line prints them on standard error, the
// window as warning lines after the loading lines; the file loads all the same.

#include <optional>
#include <string>
#include <vector>

#include "ground/target_type.h"
#include "image/hex_loader.h"

namespace kv218 {

// One phrase per finding, in lower case ("no data records", "no end-of-file record",
// "36 records outside the memory of Cradle Set ignored (0x8000 - 0x557FF; they fit TK
// Series)"); none for a sound file or a load that failed (its error has been shown).
std::vector<std::string> LoadFindings(const LoadResult& result, TargetType targetType);

// The load's note on the lines it skipped that are neither records nor blank (comments):
// "3 lines without a record skipped"; nothing when there were none or the load failed. Such
// lines are no fault, so this is no finding.
std::optional<std::string> SkippedLinesNote(const LoadResult& result);

}  // namespace kv218

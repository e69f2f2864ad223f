#pragma once
// Whether a file that loaded may be programmed without a second thought. A run (program,
// store, verify) refuses a suspect file before its first frame unless the operator forces it:
// a file that loads "OK" may still be no firmware at all (empty, text, binary), cut short,
// damaged, or made for another type, and a blank or half-written board must never pass.
// The load itself takes such files as it always has; only the runs look at this.

#include <string>
#include <vector>

#include "ground/target_type.h"
#include "image/hex_loader.h"

namespace kv218 {

// Why the file is suspect, one phrase per reason in lower case: the load's findings
// (load_findings.h: no data records, no end-of-file record, records outside the type's
// memory), then "N records with a wrong checksum (the first in line L)" and "N damaged records
// (the first in line L)". Empty for a sound file and for a load that failed (its error has
// been shown). Lines without a ':' (comments, blank lines) alone never make a file suspect.
std::vector<std::string> SuspectFileReasons(const LoadResult& result, TargetType targetType);

// The reasons as one text: "no data records; no end-of-file record".
std::string ReasonsText(const std::vector<std::string>& reasons);

}  // namespace kv218

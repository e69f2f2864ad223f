#pragma once
// The verification of a read-back, shared by the program and store runs and the read-only
// sessions: the 16-bit sums by the type's rule, and the bytes one by one over what those sums
// cover, against the file as the run loaded it. Sums that agree over bytes that differ are
// still an NG. An NG completes the step line with the rule's NG text and puts a line aside
// after it that names the first differing byte by its address in the HEX file.

#include <cstdint>
#include <optional>
#include <string>

#include "image/read_back_difference.h"
#include "runs/waits.h"

namespace kv218 {

// The 4-digit comparison text of a failed verification, upper- or lower-case digits.
std::string MismatchText(std::uint16_t std_, std::uint16_t now, bool upperCase);

// Keeps the file's image as loaded: the read-back about to start overwrites the station's.
void KeepFileImage(Station& station);

// Where the read-back in the station's image differs from the kept file image over span;
// nothing when every byte agrees, or when no image was kept.
std::optional<ByteDifference> ReadBackDifference(const Station& station, ReadBackSpan span);

// The target's program memory, by the rule of the run's type (one moved in blocks): the 24-bit
// words the big-endian word sum, the 16-bit layout the byte sum with the configuration copy
// (then taken into ConfigBytes), type 1 without its protected rows and with 443 added. NG text
// with both sums, in the row's case of hex digits.
bool TargetProgramAgrees(RunContext& run);
// Type 0: the twelve configuration registers read back; NG text with both sums.
bool TargetConfigAgrees(RunContext& run);
// The programmer's flash by the rule of the run's type (any row): the same sums, the 16-bit
// layout without rows left out or 443, the 1 KB window its byte sum; the 24-bit words' NG is
// " NG" alone, the others' carry both sums.
bool FlashProgramAgrees(RunContext& run);
// Type 0: the configuration registers the flash gave back; NG is " NG" alone.
bool FlashConfigAgrees(RunContext& run);

}  // namespace kv218

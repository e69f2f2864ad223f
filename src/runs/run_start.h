#pragma once
// The opening both sequences share: the no-file warning, buttons off, the reload of the HEX
// file with its three log lines, the tick timer on; and the announcement (BeginRun and its pause).

#include <cstdint>
#include <optional>
#include <string>

#include "runs/run_outcome.h"
#include "runs/waits.h"

namespace kv218 {

// Steps up to switching the tick timer on. biasForType1 is the ChecksumBiasFlag a type-1 reload is
// made with. Returns the outcome when the run ends here (no file, failed reload, close request),
// with the window back in its idle state; nothing when the run goes on.
std::optional<RunOutcome> OpenRun(RunContext& run, std::int32_t biasForType1);

// The transfers' phases back to their start frames and the tick timer on: the last step of
// every opening.
void ArmRun(RunContext& run);

// BeginRun, then the blocking pause without handling messages.
void AnnounceRun(RunContext& run);

}  // namespace kv218

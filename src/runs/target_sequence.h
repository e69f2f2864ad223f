#pragma once
// Programming a target (the program button's work): reload the HEX file, announce the run, then
// identity, bulk erase, block write, read-back and checksum verification, the configuration
// bits for type 0, and the reset; type 3 hands the whole image over in one AutoProgram.
// Every step waits for its reply flag with the 6-tick time-out; EndRun closes every run.

#include "runs/run_outcome.h"
#include "runs/waits.h"

namespace kv218 {

RunOutcome RunTargetSequence(RunContext& run);

}  // namespace kv218

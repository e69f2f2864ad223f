#pragma once
// Sessions that only read: a target or the programmer's flash checked against the HEX file
// (verify), or read into the station's image (read), with no erase, write, configuration
// write, reset, AutoProgram or erase-counter frame. Each is the read-back half of the program
// run or the store: the same frames in the same order, the same waits and time-outs, the same
// rules of verification, its own numbered step lines, and a closing line "VERIFY SUCCEEDED.",
// "VERIFY FAILED.", "READ SUCCEEDED." or "READ FAILED." with the time stamp.

#include "runs/run_outcome.h"
#include "runs/waits.h"

namespace kv218 {

// Whether the type has a read command for its target (types 0, 1 and 2; type 3's target is
// only ever programmed by AutoProgram).
bool TargetCanBeRead(TargetType type);

// Reload as the program run does (type 1 with its bias), BeginRun and its pause, identity,
// the program memory's read-back over the image's extent, for type 0 the configuration bits;
// each read-back judged by the program run's rule and byte by byte.
RunOutcome RunVerifyTarget(RunContext& run);
// Reload as the store does, BeginRun, the flash read back block by block as the store reads
// it, for type 0 its configuration bits; judged by the store's rule and byte by byte.
RunOutcome RunVerifyFlash(RunContext& run);
// No file: the target's whole program memory (type 0 its program window and configuration,
// types 1 and 2 0x0000..0x7FFF) into the station's image.
RunOutcome RunReadTarget(RunContext& run);
// No file: the programmer's flash image (type 0 also its configuration) into the station's
// image.
RunOutcome RunReadFlash(RunContext& run);

}  // namespace kv218

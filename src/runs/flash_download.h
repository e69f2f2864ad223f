#pragma once
// Storing the image in the programmer's own flash (the store button's work): reload the HEX file,
// read the programmer's bulk-erase counter and refuse at the endurance limit, erase (with the
// gauge showing the erase time against 15 ticks), store the counter plus one, write the image
// block by block, read it back and verify it, and for type 0 store and verify the
// configuration bits. Every wait gives up after 16 silent ticks; EndRun closes every run.

#include "runs/run_outcome.h"
#include "runs/waits.h"

namespace kv218 {

RunOutcome RunFlashDownload(RunContext& run);

}  // namespace kv218

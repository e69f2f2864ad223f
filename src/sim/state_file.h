#pragma once
// The programmer's flash kept across runs of kv218-sim (--state FILE): its image, its
// configuration bytes, the image's target type and the bulk-erase counter. A binary file:
// "KV218SIM" and a version byte, the counter (4 bytes, most significant first), the type,
// the written flag, the 12 configuration bytes, then the 352,256 flash bytes.

#include <string>

#include "sim/device_memory.h"

namespace kv218::sim {

// Reads path into flash. A missing file is no error (a new programmer): flash is left as it
// is and found is false. A file of the wrong form is an error and leaves flash untouched.
bool LoadState(const std::string& path, FlashMemory& flash, bool& found, std::string& error);
// Writes flash to path (through a temporary file renamed into place).
bool SaveState(const std::string& path, const FlashMemory& flash, std::string& error);

}  // namespace kv218::sim

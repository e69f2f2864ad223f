#pragma once
// The record loop the three loaders share: the file is read whole and split into lines; before
// a line is parsed the gauge shows the share of lines read, and whenever that percentage
// changes the window handles its messages.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ground/message_loop.h"
#include "ground/window_ops.h"
#include "image/hex_record.h"

namespace kv218 {

struct LoadOptions {
  // Refuse a record whose checksum byte is wrong or missing, naming its line. Off by default:
  // files in use may carry wrong checksums and have always loaded.
  bool strict = false;
};

// Places one data record at extended address E; returns false with a message to stop.
using PlaceData = std::function<bool(const HexRecord&, std::int64_t extended, std::string& error)>;

// Reads the file at path and hands every data record to place, up to the end-of-file record.
// Returns the message of the first error ("Cannot open file <path>", a conversion error, a
// checksum error in strict mode, or one from place), nothing when the records were read.
std::optional<std::string> ReadHexRecords(const std::string& path, WindowOps& window,
                                          MessageLoop& loop, const LoadOptions& options,
                                          const PlaceData& place);

}  // namespace kv218

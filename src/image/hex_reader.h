#pragma once
// The record loop the three loaders share: the file's lines are counted, then read one by one;
// before a line is parsed the gauge shows the share of lines read, and whenever that
// percentage changes the window handles its messages.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ground/message_loop.h"
#include "ground/window_ops.h"
#include "image/hex_record.h"
#include "image/record_placement.h"

namespace kv218 {

// The largest HEX file read. The largest image (type 0, 350,208 bytes) in records of 16 data
// bytes is about 1 MB of text; even records of one data byte each stay near 5 MB. Anything
// larger is no firmware file, and refusing it keeps the time and memory of a load bounded.
inline constexpr std::size_t kMaxHexFileBytes = 16 * 1024 * 1024;

struct LoadOptions {
  // Refuse a record whose checksum byte is wrong or missing, naming its line, and a file
  // without data records or without its end-of-file record. Off by default: files in use may
  // carry wrong checksums or lack the end record, and have always loaded.
  bool strict = false;
};

// What a file held, counted up to its end-of-file record (or its last line).
struct RecordCounts {
  bool endRecord = false;          // the end-of-file record was read
  std::size_t dataRecords = 0;     // data records read
  std::size_t ignoredRecords = 0;  // data records outside the layout's memory, left out
  // The file addresses the ignored records cover, from the first byte of the lowest to the last
  // byte of the highest, and the target types whose layout would place every one of them (one
  // bit per type, 1 << item index); meaningful only when some were ignored.
  std::int64_t ignoredFirst = 0;
  std::int64_t ignoredLast = 0;
  unsigned ignoredFitTypes = 0;
  // Records whose checksum byte is missing or does not match (the load takes them all the
  // same unless strict), and the line of the first one.
  std::size_t badChecksums = 0;
  std::size_t firstBadChecksumLine = 0;
  // Damaged records: lines that hold a ':' after other bytes (blanks, NULs, a stray
  // character), which a reading that looks for ':' at the start of a line passes over; and
  // the line of the first one. Both 0 until the reader tells them apart from comments.
  std::size_t damagedRecords = 0;
  std::size_t firstDamagedLine = 0;
  // Other lines that are no record and not blank (comments), skipped as always.
  std::size_t skippedLines = 0;
};

// Places one data record at extended address E; Failed (with a message) stops the reading.
using PlaceData =
    std::function<Placement(const HexRecord&, std::int64_t extended, std::string& error)>;

// Reads the file at path and hands every data record to place, up to the end-of-file record,
// counting what it met in counts. sha256 gets the digest of the bytes the records were read
// from, the whole file (also after an error that stopped the reading); nothing when the file
// could not be read to its end. The file is read once for the records and the digest; a file
// that changed since its lines were counted for the gauge is refused ("<path> changed while
// it was read"), so the digest is always that of what was loaded.
// A path that is no regular file (a pipe, a device, a folder) or a file larger than
// kMaxHexFileBytes cannot be opened. Returns the message of the first error ("Cannot open
// file <path>", a conversion error, one from place, or in strict mode a checksum error, a
// damaged record or a file without data records or end-of-file record), nothing when the
// records were read. A UTF-8 byte-order mark at the start of the file is passed over.
std::optional<std::string> ReadHexRecords(const std::string& path, WindowOps& window,
                                          MessageLoop& loop, const LoadOptions& options,
                                          const PlaceData& place, RecordCounts& counts,
                                          std::optional<std::string>& sha256);

}  // namespace kv218

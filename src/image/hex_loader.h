#pragma once
// The HEX loaders: each blanks its layout, sets its configuration defaults, reads the file's
// records into the image, then computes the checksums, shows the checksum in status panel 4
// and completes the "Loading ..." line with the result. The gauge follows the lines read.
//
// On an error the message goes to WindowOps::ShowError and the load stops: records already
// placed stay, no checksum is computed and the log line gets no result.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ground/message_loop.h"
#include "ground/target_type.h"
#include "ground/window_ops.h"
#include "image/hex_reader.h"
#include "image/memory_image.h"

namespace kv218 {

enum class LoadStatus {
  Loaded,
  Failed,    // error holds the message that was shown
  NoLoader,  // the target type is no item of the selector: nothing ran
};

struct LoadResult {
  LoadStatus status = LoadStatus::NoLoader;
  std::string error;
  // What the file held, also after an error (then counted up to the line that stopped it).
  // Both the window and the command line warn of a file without data records, without its
  // end-of-file record, or with records the type's memory has no room for (load_findings.h).
  RecordCounts counts;
  // The checksum status panel 4 shows after a load; none after an error or without a loader.
  std::optional<std::uint16_t> shownChecksum;
  // The SHA-256 of the file's bytes as the loader read them (64 lower-case hexadecimal
  // digits), also after an error in a record; none when the file could not be read whole.
  // The record of a run names the file by it: the digest of what was loaded, from the same
  // reading.
  std::optional<std::string> sha256;
  bool ok() const { return status == LoadStatus::Loaded; }
};

// Type 0 ("TK Series"): 24-bit words in 4-byte groups, configuration in segment 0x01F0.
LoadResult LoadHex24(MemoryImage& image, const std::string& path, WindowOps& window,
                     MessageLoop& loop, const LoadOptions& options = {});
// Types 1 ("MVRx Series", variant 0) and 2 ("Cradle Set", variant 1): 16-bit words, 32 KB,
// configuration at 0x7FF8.
LoadResult LoadHex16(MemoryImage& image, const std::string& path, std::uint8_t variant,
                     WindowOps& window, MessageLoop& loop, const LoadOptions& options = {});
// Type 3 ("Eco Mode"): 16-bit words in the 1 KB window 0xFC00..0xFFFF.
LoadResult LoadHex1K(MemoryImage& image, const std::string& path, WindowOps& window,
                     MessageLoop& loop, const LoadOptions& options = {});

// The loader the target type selects; any other type runs nothing.
LoadResult LoadImage(MemoryImage& image, const std::string& path, TargetType targetType,
                     WindowOps& window, MessageLoop& loop, const LoadOptions& options = {});

// The three lines every load starts with: an empty line, the path and "Loading ...".
void AppendLoadingLines(WindowOps& window, std::string_view path);

}  // namespace kv218

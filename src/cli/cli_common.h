#pragma once
// What every kv218 subcommand shares: the common options, the exit codes and the helpers
// that read them. Each subcommand lives in its own cmd_<name>.{h,cpp} and registers itself
// from main.cpp.

#include <optional>
#include <string>
#include <string_view>

#include "ground/target_type.h"
#include "settings/settings_location.h"

namespace kv218::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command ran and failed (an output not written)
inline constexpr int kExitUsage = 2;    // a usage error, a missing file, a HEX error

// A store interrupted after it asked for the erase (on standard error, not in the log).
inline constexpr std::string_view kIncompleteStoreText =
    "kv218: the programmer's stored image is incomplete; store it again before its stand-alone "
    "runs";

// --strict, for every command that loads a HEX file.
inline constexpr const char* kStrictHelp =
    "Refuse a file with a wrong or missing record checksum, without data records, or without "
    "its end-of-file record";

// --lenient, for the commands that run a HEX file (program, store, verify).
inline constexpr const char* kLenientHelp =
    "Run a suspect file all the same (no data records, no end-of-file record, wrong record "
    "checksums, damaged records, records outside the type's memory); the record says it was "
    "forced";

struct CommonOptions {
  std::string settingsPath;  // --settings; empty: kv218tool.INI beside the executable
  bool quiet = false;        // -q: no log lines, no progress bar; errors still shown
};

// The settings file: --settings, or the window's file, kv218tool.INI, where the window keeps it
// (the window and the command line share it).
SettingsLocation SettingsLocationOf(const CommonOptions& options);
// The settings file a command reads.
std::string SettingsPathOf(const CommonOptions& options);

// A target type as typed: "0".."3" or the selector's label ("TK Series", "MVRx Series",
// "Cradle Set", "Eco Mode", in any case). Nothing when it is neither.
std::optional<TargetType> ParseTargetType(std::string_view text);

}  // namespace kv218::cli

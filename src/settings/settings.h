#pragma once
// The settings file: the serial port's path and line settings and the two selectors' last
// choices, kept between runs in the INI file beside the executable. Read once when the window
// is created, written once when it closes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/file_replacer.h"

namespace kv218 {

inline constexpr std::string_view kPortSection = "COM PORT SETTING";
inline constexpr std::string_view kIndexSection = "INDEX";
inline constexpr std::string_view kRecordSection = "RECORD";

inline constexpr std::int32_t kNoTypeChosen = -1;

struct Settings {
  std::string PortPath = "\\\\.\\COM1";  // PORT
  std::int32_t PortBaud = 115200;        // BAUD
  std::int32_t PortData = 8;             // DATA
  std::int32_t PortStop = 1;             // STOP
  std::string PortParity = "E";          // PARITY
  std::int32_t Com = 0;                  // INDEX/COM: the port selector's item index
  std::int32_t Type = 0;                 // INDEX/TYPE: the target selector's item index, or
                                         // kNoTypeChosen for a TYPE that names no type
  // FRAMING=SILENCE: every burst ends at the 50 ms gap, also a reply whose length is known.
  // Read only; whoever wants it writes it into the file.
  bool SilenceFraming = false;
  // RECORD/FILE: the file each run appends its record line to; empty: no record. Read only:
  // the program never writes it.
  std::string RecordFile;
  // Why a settings file that is there was not read, and the defaults stand ("larger than a
  // settings file can be (1 MB)"); empty when it was read or is missing.
  std::string NotRead;
};

// A missing or unreadable file, or a missing or unusable value, gives the default.
Settings ReadSettings(const std::string& path);

// Writes the seven keys in order and saves the file once (COM below 0 and a TYPE that is no
// type are left as the file has them); the file and its sections are created when missing and
// other keys are left alone. When the file cannot be written, returns "Unable to write to
// <path>: <reason>" and none of the keys is written; a file
// its user may not write is left as it is, a symbolic link is written through. Saves go through
// replacer (the platform's file operations when none is given).
std::optional<std::string> WriteSettings(const std::string& path, const Settings& settings,
                                         FileReplacer* replacer = nullptr);

// "Settings file <path> not read (<why>); the defaults are used" for settings read from path
// whose file was there but not read; empty otherwise.
std::string SettingsNotReadText(const std::string& path, const Settings& settings);

// The line settings for the port: baud rate, parity, data bits, stop bits ("115200,E,8,1").
std::string PortSettingsText(const Settings& settings);
// The part of a port path after its last backslash ("COM1" for "\\.\COM1").
std::string PortNameOf(std::string_view portPath);

// The executable's path with the extension of its file name replaced by ".INI", or ".INI"
// appended when the file name has none (a "." in a folder name does not count).
std::string SettingsPathFor(std::string_view executablePath);
// The running executable's full path (empty when the system does not tell).
std::string RunningExecutablePath();

}  // namespace kv218

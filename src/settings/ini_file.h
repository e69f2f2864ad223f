#pragma once
// A Windows-style initialisation file with the private-profile rules, so that a file written
// by the Windows program reads the same here and ours reads the same there:
//  - "[section]" lines open a section; "key=value" lines inside it; both matched without
//    regard to case; keys and values trimmed of blanks; a value in matching quotes loses them;
//    a value is at most 2,047 characters;
//  - a section that appears more than once is read and written in its first copy only;
//  - writing a key changes only its line (or adds it at the end of its section, or adds the
//    section at the end of the file, right after the last line); every other line, comment
//    and line ending stays as it was; new lines end as the line before them (or as the file's
//    first line ending, CR LF for a new file);
//  - a file that starts with a UTF-16 byte-order mark is read as UTF-16 and written back so;
//  - each write saves the whole file at once through a temporary file renamed over the old
//    one, so a program that dies while writing leaves the old file or the new one, never half.
//    Where the folder takes no temporary file, the file is overwritten in place.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/file_replacer.h"
#include "settings/profile_encoding.h"

namespace kv218 {

class IniFile {
 public:
  // Reads the file; a missing or unreadable file reads as empty. One that is there but
  // cannot be read (no regular file, larger than 1 MB, no permission) is then never written.
  // Saves go through replacer (the platform's file operations when none is given).
  explicit IniFile(std::string path, FileReplacer* replacer = nullptr);

  const std::string& path() const { return path_; }

  // The key's value; nothing when the section or the key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  // The key's value (also when it is empty), or fallback when the key is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // Decimal, or hexadecimal after "0x"/"0X" (more than two characters in all); fallback when
  // the key is missing or its text is not a 32-bit number.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t fallback) const;

  // Sets the key and saves the file. False when the file could not be written; the file and
  // this object then keep their previous content, and LastError tells why.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  // Sets several keys, in order, and saves the file once: all of them or, when the file could
  // not be written, none.
  struct KeyValue {
    std::string_view section;
    std::string_view key;
    std::string value;
  };
  bool WriteKeys(std::span<const KeyValue> keys);
  // Why a file that is there was not read ("larger than a settings file can be (1 MB)", "not
  // a regular file"); empty when it was read or is missing.
  const std::string& Refusal() const { return refusal_; }
  // Why the last write failed ("Permission denied", "not a regular file"); may be empty.
  const std::string& LastError() const { return lastError_; }

  // The whole text as it is (or would be) saved, UTF-8 for a UTF-16 file.
  std::string Text() const;
  ProfileEncoding Encoding() const { return encoding_; }

 private:
  struct Line {
    std::string text;        // without its line ending
    std::string terminator;  // "\r\n", "\n", "\r" or "" (the last line of a file may lack it)
  };
  struct Position {
    std::size_t line;
    bool found;  // false: line is where a new key or section goes
  };

  // Sets the key in the lines held, without saving.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  Position Locate(std::string_view section, std::string_view key, bool& sectionFound) const;
  // Nothing when saved, otherwise why not.
  std::optional<std::string> Save(const std::vector<Line>& lines) const;
  std::string NewLineEnding() const;

  std::string path_;
  FileReplacer* replacer_;
  ProfileEncoding encoding_ = ProfileEncoding::Bytes;
  std::string tail_;  // an odd last byte of a UTF-16 file
  std::vector<Line> lines_;
  std::string refusal_;  // there, but not readable as a settings file: why writes fail
  std::string lastError_;
};

// Parses a profile integer as ReadInteger does; nothing when the text is not a number.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

}  // namespace kv218

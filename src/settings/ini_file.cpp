#include "settings/ini_file.h"

#include <cstdio>
#include <initializer_list>

#include "ground/platform.h"
#include "ground/regular_file.h"

namespace kv218 {

namespace {

constexpr std::size_t kMaxValue = 2047;
// Seven keys take some 150 bytes; other programs' keys may share the file. A settings file
// beyond this is no settings file.
constexpr std::size_t kMaxIniFileBytes = 1024 * 1024;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Why a settings file that is there but could not be read is not written over; empty for one
// that was read, or is missing (the first write makes it).
std::string RefusalOf(FileReadError error) {
  switch (error) {
    case FileReadError::None:
    case FileReadError::Missing:
      return {};
    case FileReadError::NotRegular:
      return "not a regular file";
    case FileReadError::TooLarge:
      return "larger than a settings file can be (1 MB)";
    case FileReadError::Unreadable:
      break;
  }
  return "not readable";
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A line as the profile rules see it.
struct Parsed {
  enum Kind { Other, Section, Key } kind = Other;
  std::string_view name;   // section name or key
  std::string_view value;  // trimmed, for keys
};

Parsed ParseLine(std::string_view text) {
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  text = Trim(text);
  if (text.empty() || text.front() == ';') return {};
  if (text.front() == '[') {
    const auto close = text.rfind(']');
    if (close == std::string_view::npos) return {};
    return {Parsed::Section, Trim(text.substr(1, close - 1)), {}};
  }
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  const std::string_view key = Trim(text.substr(0, equals));
  if (key.empty()) return {};
  return {Parsed::Key, key, Trim(text.substr(equals + 1))};
}

// Joins by appending into one reserved string. (GCC 12 at -O3 reports a false -Wrestrict on
// `"[" + std::string(name)`, a literal followed by a temporary.)
std::string Joined(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (std::string_view part : parts) text.append(part);
  return text;
}

std::string ValueText(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, kMaxValue));
}

}  // namespace

std::optional<std::int32_t> ParseProfileInteger(std::string_view text) {
  std::int64_t value = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    // Hexadecimal covers the full 32 bits; values above 0x7FFFFFFF wrap to negative.
    for (char c : text.substr(2)) {
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
      if (value > 0xFFFFFFFF) return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::int64_t{0x80000000}) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 0x7FFFFFFF) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

IniFile::IniFile(std::string path, FileReplacer* replacer)
    : path_(std::move(path)), replacer_(replacer) {
  FileRead file = ReadRegularFile(path_, kMaxIniFileBytes);
  // A missing file is made by the first write. Anything else that cannot be read (a pipe, a
  // device, a folder, a file far too large, one without permission) reads as empty and is
  // never written over: the write would lose what it holds.
  refusal_ = RefusalOf(file.error);
  DecodedProfile decoded = DecodeProfile(file.text);
  encoding_ = decoded.encoding;
  tail_ = std::move(decoded.tail);
  const std::string& text = decoded.text;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto end = text.find_first_of("\r\n", pos);
    Line line;
    if (end == std::string::npos) {
      line.text = text.substr(pos);
      pos = text.size();
    } else {
      line.text = text.substr(pos, end - pos);
      const std::size_t length = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
      line.terminator = text.substr(end, length);
      pos = end + length;
    }
    lines_.push_back(std::move(line));
  }
}

IniFile::Position IniFile::Locate(std::string_view section, std::string_view key,
                                  bool& sectionFound) const {
  // Only the first copy of a section counts; later copies are left as they are.
  sectionFound = false;
  bool inSection = false;
  std::size_t insertAt = lines_.size();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const Parsed parsed = ParseLine(lines_[i].text);
    if (parsed.kind == Parsed::Section) {
      if (inSection) break;
      inSection = SameName(parsed.name, section);
      if (inSection) {
        sectionFound = true;
        insertAt = i + 1;
      }
      continue;
    }
    if (!inSection) continue;
    if (parsed.kind == Parsed::Key && SameName(parsed.name, key)) return {i, true};
    // A new key goes after the section's last non-blank line.
    if (!Trim(lines_[i].text).empty()) insertAt = i + 1;
  }
  return {insertAt, false};
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
  bool sectionFound = false;
  const Position at = Locate(section, key, sectionFound);
  if (!at.found) return std::nullopt;
  return ValueText(ParseLine(lines_[at.line].text).value);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  auto value = Find(section, key);
  return value ? *value : std::string(fallback);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t fallback) const {
  const auto text = Find(section, key);
  if (!text) return fallback;
  return ParseProfileInteger(*text).value_or(fallback);
}

std::string IniFile::NewLineEnding() const {
  for (const Line& line : lines_) {
    if (!line.terminator.empty()) return line.terminator;
  }
  return "\r\n";
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  bool sectionFound = false;
  const Position at = Locate(section, key, sectionFound);
  // New lines end as the line they follow does: a lone CR before a line that is a lone LF
  // would join the two into one line ending and lose a line.
  const std::string ending = at.line > 0 && !lines_[at.line - 1].terminator.empty()
                                 ? lines_[at.line - 1].terminator
                                 : NewLineEnding();
  if (at.found) {
    // The key keeps its spelling; blanks around it and the old value go.
    Line& line = lines_[at.line];
    line.text = Joined({ParseLine(line.text).name, "=", value});
    return;
  }
  std::vector<Line> added;
  if (!sectionFound) added.push_back({Joined({"[", section, "]"}), ending});
  added.push_back({Joined({key, "=", value}), ending});
  // The line before the insertion point needs an ending of its own.
  if (at.line > 0 && lines_[at.line - 1].terminator.empty())
    lines_[at.line - 1].terminator = ending;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at.line), added.begin(), added.end());
}

bool IniFile::WriteKeys(std::span<const KeyValue> keys) {
  if (!refusal_.empty()) {
    lastError_ = refusal_;
    return false;
  }
  std::vector<Line> before = lines_;
  for (const KeyValue& entry : keys) Set(entry.section, entry.key, entry.value);
  if (auto error = Save(lines_)) {
    lines_ = std::move(before);
    lastError_ = std::move(*error);
    return false;
  }
  return true;
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const KeyValue entry{section, key, std::string(value)};
  return WriteKeys({&entry, 1});
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

std::string IniFile::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.text + line.terminator;
  return text;
}

std::optional<std::string> IniFile::Save(const std::vector<Line>& lines) const {
  std::string text;
  for (const Line& line : lines) text += line.text + line.terminator;
  const std::string bytes = EncodeProfile(text, encoding_, tail_);

  FileReplacer& replacer = replacer_ != nullptr ? *replacer_ : SystemFileReplacer();
  FileReplacer::Outcome replaced = replacer.ReplaceThroughTemporary(path_, bytes);
  switch (replaced.result) {
    case FileReplacer::Result::Replaced:
      return std::nullopt;
    case FileReplacer::Result::NoTemporary:
      // A folder the user may not write to can still hold a file the user may write.
      return replacer.OverwriteInPlace(path_, bytes);
    case FileReplacer::Result::Failed:
      break;
  }
  return std::move(replaced.reason);
}

}  // namespace kv218

// The settings file: read an arbitrary file, write the seven settings into it, read it back.
// What was written reads back; every line that is not one of the seven keys survives byte for
// byte and in its order; the file keeps its encoding (a UTF-16 file stays UTF-16).
// Input: the settings to write (texts limited to what a profile value can hold unchanged),
// then the file's bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ground/target_type.h"
#include "scratch_file.h"
#include "settings/file_replacer.h"
#include "settings/ini_file.h"
#include "settings/profile_encoding.h"
#include "settings/settings.h"

namespace {

using kv218::FileReplacer;
using kv218::Settings;

// Writes straight to the file (the fuzzer needs no durable saves, and a sync per key would
// slow it a hundredfold); refuses the temporary file when told to, so that both ways of
// saving run.
class DirectWriter final : public FileReplacer {
 public:
  bool refuseTemporary = false;

  Outcome ReplaceThroughTemporary(const std::string& path, std::string_view bytes) override {
    if (refuseTemporary) return {Result::NoTemporary, "refused"};
    return Write(path, bytes) ? Outcome{Result::Replaced, {}} : Outcome{Result::Failed, "failed"};
  }
  std::optional<std::string> OverwriteInPlace(const std::string& path,
                                              std::string_view bytes) override {
    if (Write(path, bytes)) return std::nullopt;
    return "failed";
  }

 private:
  static bool Write(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
  }
};

// A value that reads back as written: no blanks to trim, no quotes to drop, no line breaks.
std::string ProfileValue(FuzzedDataProvider& input) {
  std::string value = input.ConsumeRandomLengthString(40);
  for (char& c : value) {
    if (c <= ' ' || c > '~' || c == '"' || c == '\'') c = '_';
  }
  return value;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(pos));
      break;
    }
    lines.emplace_back(text.substr(pos, end - pos));
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

// True for a line that names one of the seven keys (in any section): the only lines a write
// may change.
bool NamesOneOfOurKeys(std::string_view line) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  std::string name;
  for (char c : line.substr(0, equals)) {
    if (c == ' ' || c == '\t') continue;
    name += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
  }
  // A UTF-8 byte-order mark before the first key is read past.
  if (name.rfind("\xEF\xBB\xBF", 0) == 0) name.erase(0, 3);
  for (const char* key : {"PORT", "BAUD", "DATA", "STOP", "PARITY", "COM", "TYPE"}) {
    if (name == key) return true;
  }
  return false;
}

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) std::abort();
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  std::fclose(file);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const kv218::fuzz::ScratchFile file("kv218tool.INI");
  FuzzedDataProvider input(data, size);
  DirectWriter writer;
  writer.refuseTemporary = input.ConsumeBool();
  Settings chosen;
  chosen.PortPath = ProfileValue(input);
  chosen.PortBaud = input.ConsumeIntegral<std::int32_t>();
  chosen.PortData = input.ConsumeIntegral<std::int32_t>();
  chosen.PortStop = input.ConsumeIntegral<std::int32_t>();
  chosen.PortParity = ProfileValue(input);
  chosen.Com = input.ConsumeIntegral<std::int32_t>();
  chosen.Type = input.ConsumeIntegral<std::int32_t>();
  const std::string original = input.ConsumeRemainingBytesAsString();
  file.Write(original);

  const kv218::DecodedProfile before = kv218::DecodeProfile(original);
  (void)kv218::ReadSettings(file.path());
  if (kv218::WriteSettings(file.path(), chosen, &writer)) std::abort();

  const Settings back = kv218::ReadSettings(file.path());
  if (back.PortPath != chosen.PortPath || back.PortBaud != chosen.PortBaud ||
      back.PortData != chosen.PortData || back.PortStop != chosen.PortStop ||
      back.PortParity != chosen.PortParity) {
    std::abort();
  }
  // A selector with nothing selected (COM below 0, a TYPE that is no type) leaves its key as
  // the file had it: only a chosen item is written and reads back.
  if ((chosen.Com >= 0 && back.Com != chosen.Com) ||
      (kv218::IsTargetTypeItem(chosen.Type) && back.Type != chosen.Type)) {
    std::abort();
  }

  const kv218::DecodedProfile after = kv218::DecodeProfile(ReadBytes(file.path()));
  if (after.encoding != before.encoding || after.tail != before.tail) std::abort();
  const std::vector<std::string> oldLines = Lines(before.text);
  const std::vector<std::string> newLines = Lines(after.text);
  // At most the seven keys and their two section headers are added.
  if (newLines.size() > oldLines.size() + 9) std::abort();
  std::size_t next = 0;
  for (const std::string& line : oldLines) {
    if (NamesOneOfOurKeys(line)) continue;
    while (next < newLines.size() && newLines[next] != line) ++next;
    if (next == newLines.size()) std::abort();  // a line that is not ours was lost or changed
    ++next;
  }
  return 0;
}

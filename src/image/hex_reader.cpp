#include "image/hex_reader.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "ground/platform.h"
#include "ground/text.h"
#include "image/text_lines.h"

namespace kv218 {

namespace {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFile(path, "rb"), &std::fclose);
  if (!file) return std::nullopt;
  std::string text;
  // Room for the whole file at once where its size is known (one allocation, no copies).
  struct stat status {};
  if (fstat(fileno(file.get()), &status) == 0 && status.st_size > 0) {
    text.reserve(static_cast<std::size_t>(status.st_size));
  }
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, n);
  if (std::ferror(file.get())) return std::nullopt;  // for instance a folder
  return text;
}

// The data bytes of an address record as one big-endian number; false when it has more
// than 32 bits. A record without data bytes gives 0.
bool AddressValue(const HexRecord& record, std::uint32_t& value, std::string& error) {
  std::uint64_t number = 0;
  for (std::size_t i = 0; i < record.Length; ++i) {
    number = number << 8 | record.Bytes[i];
    if (number > 0xFFFFFFFFu) {
      std::string digits;
      for (std::size_t j = 0; j < record.Length; ++j) digits.append(record.PairText(j));
      error = NotAValidInteger(digits);
      return false;
    }
  }
  value = static_cast<std::uint32_t>(number);
  return true;
}

std::optional<std::string> CheckRecordChecksum(const HexRecord& record, std::size_t lineNumber) {
  if (!record.HasChecksum()) {
    return "Missing record checksum in line " + std::to_string(lineNumber);
  }
  const std::uint8_t expected = ExpectedChecksum(record);
  const std::uint8_t found = record.Bytes[record.Length];
  if (found == expected) return std::nullopt;
  return "Wrong record checksum in line " + std::to_string(lineNumber) + ": 0x" + Hex(found, 2) +
         ", expected 0x" + Hex(expected, 2);
}

}  // namespace

std::optional<std::string> ReadHexRecords(const std::string& path, WindowOps& window,
                                          MessageLoop& loop, const LoadOptions& options,
                                          const PlaceData& place) {
  const auto text = ReadWholeFile(path);
  if (!text) return "Cannot open file " + path;

  const std::size_t lineCount = CountLines(*text);
  HexRecord record;  // reused for every line: no allocation per record
  std::string error;
  std::int64_t extended = 0;
  std::size_t pos = 0;
  int shown = -1;
  for (std::size_t i = 0; i < lineCount; ++i) {
    const std::string_view line = NextLine(*text, pos);
    // The gauge moves, and the window handles its messages, whenever the percentage changes:
    // at most 101 times however long the file, and on every line of a short one.
    const int percent = static_cast<int>((i + 1) * 100 / lineCount);
    if (percent != shown) {
      shown = percent;
      window.SetProgress(percent);
      loop.PumpMessages();
    }

    const LineKind kind = ParseHexLine(line, record, error);
    if (kind == LineKind::NotARecord) continue;
    if (kind == LineKind::Error) return error;
    if (options.strict) {
      if (auto bad = CheckRecordChecksum(record, i + 1)) return bad;
    }
    std::uint32_t value = 0;
    switch (record.Type) {
      case kRecordData:
        if (!place(record, extended, error)) return error;
        break;
      case kRecordEnd:
        return std::nullopt;
      case kRecordSegment:
        if (!AddressValue(record, value, error)) return error;
        extended = std::int64_t{value} * 16;
        break;
      case kRecordLinear:
        if (!AddressValue(record, value, error)) return error;
        extended = std::int64_t{value} * 0x10000;
        break;
      default:  // start addresses and other types mean nothing to the programmer
        break;
    }
  }
  return std::nullopt;
}

}  // namespace kv218

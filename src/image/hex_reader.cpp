#include "image/hex_reader.h"

#include <algorithm>

#include "ground/regular_file.h"
#include "ground/text.h"
#include "image/file_lines.h"

namespace kv218 {

namespace {

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

// Strict mode: a file must hold data and end with its end-of-file record; anything else is
// likely not the firmware, or cut short.
std::optional<std::string> CheckComplete(const RecordCounts& counts, const std::string& path) {
  if (counts.dataRecords > 0 && counts.endRecord) return std::nullopt;
  if (counts.dataRecords > 0) return "No end-of-file record in " + path;
  if (counts.endRecord) return "No data records in " + path;
  return "No data records and no end-of-file record in " + path;
}

void NoteIgnored(const HexRecord& record, std::int64_t extended, RecordCounts& counts) {
  const std::int64_t first = extended + record.Address;
  const std::int64_t last = first + std::max<std::int64_t>(record.Length, 1) - 1;
  const unsigned fit = TypesPlacing(record, extended);
  if (counts.ignoredRecords++ == 0) {
    counts.ignoredFirst = first;
    counts.ignoredLast = last;
    counts.ignoredFitTypes = fit;
    return;
  }
  counts.ignoredFirst = std::min(counts.ignoredFirst, first);
  counts.ignoredLast = std::max(counts.ignoredLast, last);
  counts.ignoredFitTypes &= fit;
}

}  // namespace

std::optional<std::string> ReadHexRecords(const std::string& path, WindowOps& window,
                                          MessageLoop& loop, const LoadOptions& options,
                                          const PlaceData& place, RecordCounts& counts) {
  counts = {};
  RegularFile file;
  if (file.Open(path, kMaxHexFileBytes) != FileReadError::None) return "Cannot open file " + path;
  // The file is gone through twice, counting its lines for the gauge and then reading them,
  // through one small buffer; holding it whole would touch about 250 fresh pages per MB.
  FileLines lines(file, kMaxHexFileBytes);
  const std::optional<std::size_t> lineCount = lines.Count();
  if (!lineCount) return "Cannot open file " + path;

  HexRecord record;  // reused for every line: no allocation per record
  std::string error;
  std::int64_t extended = 0;
  std::size_t nextChange = 0;  // the first line whose percentage differs from the one shown
  for (std::size_t i = 0; i < *lineCount; ++i) {
    std::string_view line;
    if (!lines.Next(line)) return "Cannot open file " + path;
    // The gauge moves, and the window handles its messages, whenever the percentage of lines
    // read, (i + 1) * 100 / lineCount, changes: at most 101 times however long the file, and
    // on every line of a short one.
    if (i == nextChange) {
      const std::size_t percent = (i + 1) * 100 / *lineCount;
      window.SetProgress(static_cast<int>(percent));
      loop.PumpMessages();
      nextChange = ((percent + 1) * *lineCount + 99) / 100 - 1;
    }

    const LineKind kind = ParseHexLine(line, record, error);
    if (kind == LineKind::NotARecord) continue;
    if (kind == LineKind::Error) return error;
    // Every record is checked: strict mode refuses the file at the first bad one, otherwise
    // the load takes it as it always has and the runs see the count.
    if (!record.HasChecksum() || record.Bytes[record.Length] != ExpectedChecksum(record)) {
      if (options.strict) return CheckRecordChecksum(record, i + 1);
      if (counts.badChecksums++ == 0) counts.firstBadChecksumLine = i + 1;
    }
    std::uint32_t value = 0;
    switch (record.Type) {
      case kRecordData:
        ++counts.dataRecords;
        switch (place(record, extended, error)) {
          case Placement::Placed:
            break;
          case Placement::Ignored:
            NoteIgnored(record, extended, counts);
            break;
          case Placement::Failed:
            return error;
        }
        break;
      case kRecordEnd:
        counts.endRecord = true;
        return options.strict ? CheckComplete(counts, path) : std::nullopt;
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
  return options.strict ? CheckComplete(counts, path) : std::nullopt;
}

}  // namespace kv218

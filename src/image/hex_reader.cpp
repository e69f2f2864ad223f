#include "image/hex_reader.h"

#include <algorithm>
#include <string_view>

#include "ground/regular_file.h"
#include "ground/shown_text.h"
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
  if (counts.dataRecords > 0) return "No end-of-file record in " + ShownText(path);
  if (counts.endRecord) return "No data records in " + ShownText(path);
  return "No data records and no end-of-file record in " + ShownText(path);
}

// What a line that does not start with ':' is: a record behind other bytes (a blank, a NUL,
// a stray character, a byte-order mark in the middle of the file), a blank line, or a
// comment. A record is told by its header, a ':' and eight hexadecimal digits, so a comment
// that holds a path ("C:\\firmware") or a time ("12:30") stays a comment.
enum class SkippedKind { Damaged, Blank, Comment };

bool HeaderFollows(std::string_view line, std::size_t colon) {
  constexpr std::size_t kHeaderDigits = 8;
  if (line.size() - colon <= kHeaderDigits) return false;
  for (std::size_t i = colon + 1; i <= colon + kHeaderDigits; ++i) {
    const char c = line[i];
    const bool digit = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    if (!digit) return false;
  }
  return true;
}

SkippedKind KindOfSkipped(std::string_view line) {
  for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
       colon = line.find(':', colon + 1)) {
    if (HeaderFollows(line, colon)) return SkippedKind::Damaged;
  }
  return line.find_first_not_of(" \t\f\v") == std::string_view::npos ? SkippedKind::Blank
                                                                     : SkippedKind::Comment;
}

// Counts a line that is no record; in strict mode a damaged one refuses the file.
std::optional<std::string> NoteSkipped(std::string_view line, std::size_t lineNumber,
                                       const LoadOptions& options, RecordCounts& counts) {
  switch (KindOfSkipped(line)) {
    case SkippedKind::Damaged:
      if (counts.damagedRecords++ == 0) counts.firstDamagedLine = lineNumber;
      if (options.strict) {
        return "Damaged record in line " + std::to_string(lineNumber) + ": bytes before its ':'";
      }
      break;
    case SkippedKind::Comment:
      ++counts.skippedLines;
      break;
    case SkippedKind::Blank:
      break;
  }
  return std::nullopt;
}

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

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

// A file rewritten while it was read: what was loaded is neither the old file nor the new.
std::string ChangedWhileRead(const std::string& path) {
  return "Cannot load " + ShownText(path) + ": it changed while it was read";
}

// The standard message, with the reason when the file is too large to be a HEX file (a
// disk image, a sparse file of gigabytes): "Cannot open file" alone would send the operator
// looking for a missing file or a permission.
std::string CannotOpen(const std::string& path, bool tooLarge) {
  std::string message = "Cannot open file " + ShownText(path);
  if (tooLarge) {
    message += ": larger than a HEX file can be (" +
               std::to_string(kMaxHexFileBytes / (1024 * 1024)) + " MB)";
  }
  return message;
}

// After the counted lines only the empty line past the end is left, unless the file grew.
bool OnlyEmptyLinesLeft(FileLines& lines) {
  std::string_view line;
  while (!lines.AtEnd()) {
    if (!lines.Next(line) || !line.empty()) return false;
  }
  return true;
}

// The records of the counted lines, up to the end-of-file record; the message of the error
// that stopped them.
std::optional<std::string> ReadRecords(FileLines& lines, std::size_t lineCount,
                                       const std::string& path, WindowOps& window,
                                       MessageLoop& loop, const LoadOptions& options,
                                       const PlaceData& place, RecordCounts& counts) {
  HexRecord record;  // reused for every line: no allocation per record
  std::string error;
  std::int64_t extended = 0;
  std::size_t nextChange = 0;  // the first line whose percentage differs from the one shown
  for (std::size_t i = 0; i < lineCount; ++i) {
    std::string_view line;
    if (!lines.Next(line)) return CannotOpen(path, lines.TooLarge());
    // The gauge moves, and the window handles its messages, whenever the percentage of lines
    // read, (i + 1) * 100 / lineCount, changes: at most 101 times however long the file, and
    // on every line of a short one.
    if (i == nextChange) {
      const std::size_t percent = (i + 1) * 100 / lineCount;
      window.SetProgress(static_cast<int>(percent));
      loop.PumpMessages();
      nextChange = ((percent + 1) * lineCount + 99) / 100 - 1;
    }

    // A byte-order mark is the editor's, not the file's first record's.
    if (i == 0 && line.starts_with(kUtf8ByteOrderMark))
      line.remove_prefix(kUtf8ByteOrderMark.size());
    const LineKind kind = ParseHexLine(line, record, error);
    if (kind == LineKind::NotARecord) {
      if (auto damaged = NoteSkipped(line, i + 1, options, counts)) return damaged;
      continue;
    }
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
  // The lines as counted are all read; a line with something in it now would be one the
  // file did not have when it was counted.
  if (!OnlyEmptyLinesLeft(lines)) return ChangedWhileRead(path);
  return options.strict ? CheckComplete(counts, path) : std::nullopt;
}

}  // namespace

std::optional<std::string> ReadHexRecords(const std::string& path, WindowOps& window,
                                          MessageLoop& loop, const LoadOptions& options,
                                          const PlaceData& place, RecordCounts& counts,
                                          std::optional<std::string>& sha256) {
  counts = {};
  sha256.reset();
  RegularFile file;
  if (const FileReadError opened = file.Open(path, kMaxHexFileBytes);
      opened != FileReadError::None) {
    return CannotOpen(path, opened == FileReadError::TooLarge);
  }
  // The file is gone through twice, counting its lines for the gauge and then reading them,
  // through one small buffer; holding it whole would touch about 250 fresh pages per MB. The
  // digest is taken from the second pass, the bytes that are taken apart into records.
  Sha256 hash;
  FileLines lines(file, kMaxHexFileBytes, FileLines::kPieceBytes, &hash);
  const std::optional<std::size_t> lineCount = lines.Count();
  if (!lineCount) return CannotOpen(path, lines.TooLarge());
  auto error = ReadRecords(lines, *lineCount, path, window, loop, options, place, counts);
  // The rest of the file after its end-of-file record (or the error) belongs to the digest.
  if (!lines.ReadRest()) return error ? error : CannotOpen(path, lines.TooLarge());
  if (lines.BytesRead() != lines.CountedBytes()) return ChangedWhileRead(path);
  sha256 = DigestText(hash.Finish());
  return error;
}

}  // namespace kv218

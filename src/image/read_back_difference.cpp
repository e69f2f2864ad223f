#include "image/read_back_difference.h"

#include "ground/text.h"
#include "image/checksums.h"
#include "image/record_placement.h"

namespace kv218 {
namespace {

// Counts a difference and keeps the first one seen; callers go by rising file address.
void Note(std::optional<ByteDifference>& first, std::int64_t& count, std::int64_t address,
          std::uint8_t file, std::uint8_t read) {
  if (file == read) return;
  ++count;
  if (!first) first = ByteDifference{address, file, read, 0};
}

// File address a of the swapped-pair layouts sits at image offset a ^ 1; the type-0 groups
// are stored reversed, so file address a sits at a ^ 3.
void CompareBytes(const MemoryImage& file, const MemoryImage& read, std::size_t end,
                  std::size_t flip, std::int64_t base, std::optional<ByteDifference>& first,
                  std::int64_t& count, std::size_t skipBegin = 0, std::size_t skipEnd = 0) {
  for (std::size_t a = 0; a < end; ++a) {
    if (a >= skipBegin && a < skipEnd) continue;
    const std::size_t offset = a ^ flip;
    Note(first, count, base + static_cast<std::int64_t>(a), file.ProgramImage[offset],
         read.ProgramImage[offset]);
  }
}

}  // namespace

std::optional<ByteDifference> FirstDifference(const MemoryImage& file, const MemoryImage& read,
                                              ReadBackSpan span) {
  std::optional<ByteDifference> first;
  std::int64_t count = 0;
  switch (span) {
    case ReadBackSpan::Program24:
      CompareBytes(file, read, kProgramRows24 * kRowBytes, 3, 0, first, count);
      break;
    case ReadBackSpan::Config24:
      for (std::size_t k = 0; k < kConfigCount; ++k) {
        Note(first, count, kConfigSegment24 * 0x10000 + static_cast<std::int64_t>(4 * k),
             file.ConfigBytes[k], read.ConfigBytes[k]);
      }
      break;
    case ReadBackSpan::Target16:
    case ReadBackSpan::TargetMvrx: {
      const bool mvrx = span == ReadBackSpan::TargetMvrx;
      CompareBytes(file, read, kConfigOffset16, 1, 0, first, count,
                   mvrx ? kType1SkippedFirstRow * kRowBytes : 0,
                   mvrx ? kType1SkippedEndRow * kRowBytes : 0);
      // The registers as the verification takes them: the file's as loaded (masked), the
      // read-back's masked from its copy.
      const Config16 readConfig = ReadBackConfig16(read);
      for (std::size_t k : {0, 1, 2, 3, 5}) {
        Note(first, count, kConfigAddress16 + static_cast<std::int64_t>(k), file.ConfigBytes[k],
             readConfig.reg[k]);
      }
      break;
    }
    case ReadBackSpan::Window1K:
      CompareBytes(file, read, kProgramRows1K * kRowBytes, 1, kWindowStart1K, first, count);
      break;
  }
  if (first) first->count = count;
  return first;
}

std::string DifferenceText(const ByteDifference& d) {
  return "First difference at 0x" + Hex(static_cast<std::uint64_t>(d.address), 4) + ": file " +
         Hex(d.file, 2) + ", read " + Hex(d.read, 2) + " (" + std::to_string(d.count) +
         (d.count == 1 ? " byte differs)" : " bytes differ)");
}

}  // namespace kv218

#include "image/suspect_file.h"

#include "image/load_findings.h"

namespace kv218 {

namespace {

std::string CountedLines(std::size_t count, const char* one, const char* many,
                         std::size_t firstLine) {
  return std::to_string(count) + (count == 1 ? one : many) + " (" +
         (count == 1 ? "in line " : "the first in line ") + std::to_string(firstLine) + ")";
}

}  // namespace

std::vector<std::string> SuspectFileReasons(const LoadResult& result, TargetType targetType) {
  std::vector<std::string> reasons = LoadFindings(result, targetType);
  if (!result.ok()) return reasons;
  const RecordCounts& counts = result.counts;
  if (counts.badChecksums > 0) {
    reasons.push_back(CountedLines(counts.badChecksums, " record with a wrong checksum",
                                   " records with a wrong checksum", counts.firstBadChecksumLine));
  }
  if (counts.damagedRecords > 0) {
    reasons.push_back(CountedLines(counts.damagedRecords, " damaged record", " damaged records",
                                   counts.firstDamagedLine));
  }
  return reasons;
}

std::string ReasonsText(const std::vector<std::string>& reasons) {
  std::string text;
  for (const std::string& reason : reasons) {
    if (!text.empty()) text += "; ";
    text += reason;
  }
  return text;
}

}  // namespace kv218

#include "image/load_findings.h"

#include "ground/text.h"
#include "image/target_types.h"

namespace kv218 {

namespace {

bool Fits(unsigned types, TargetType type) { return (types >> ItemIndexOf(type) & 1u) != 0; }

// The types the ignored records fit, the smallest memory first: a file that fits a small
// memory was most likely made for it. A layout names all its types ("MVRx Series or Cradle
// Set"), and only when the records fit every one of them.
std::string FitText(unsigned types) {
  for (ImageLayout layout : {ImageLayout::Window1K, ImageLayout::Bytes16, ImageLayout::Words24}) {
    std::string labels;
    bool all = true;
    for (const TargetTypeRow& row : kTargetTypes) {
      if (row.layout != layout) continue;
      all = all && Fits(types, row.type);
      labels += (labels.empty() ? "" : " or ") + std::string(row.label);
    }
    if (all) return labels;
  }
  return {};
}

}  // namespace

std::vector<std::string> LoadFindings(const LoadResult& result, TargetType targetType) {
  std::vector<std::string> findings;
  if (!result.ok()) return findings;
  const RecordCounts& counts = result.counts;
  if (counts.dataRecords == 0) findings.emplace_back("no data records");
  if (!counts.endRecord) findings.emplace_back("no end-of-file record");
  if (counts.damagedRecords > 0) {
    const bool one = counts.damagedRecords == 1;
    findings.push_back(
        std::to_string(counts.damagedRecords) +
        (one ? " damaged record not loaded (bytes before its ':', in line "
             : " damaged records not loaded (bytes before their ':', first in line ") +
        std::to_string(counts.firstDamagedLine) + ")");
  }
  if (counts.ignoredRecords > 0) {
    std::string text = std::to_string(counts.ignoredRecords) +
                       (counts.ignoredRecords == 1 ? " record" : " records") +
                       " outside the memory of " + std::string(TargetTypeLabel(targetType)) +
                       " ignored (0x" + Hex(static_cast<std::uint64_t>(counts.ignoredFirst), 4) +
                       " - 0x" + Hex(static_cast<std::uint64_t>(counts.ignoredLast), 4);
    const std::string fit = FitText(counts.ignoredFitTypes);
    if (!fit.empty()) text += (counts.ignoredRecords == 1 ? "; it fits " : "; they fit ") + fit;
    findings.push_back(text + ")");
  }
  return findings;
}

std::optional<std::string> SkippedLinesNote(const LoadResult& result) {
  const std::size_t skipped = result.counts.skippedLines;
  if (!result.ok() || skipped == 0) return std::nullopt;
  return std::to_string(skipped) + (skipped == 1 ? " line" : " lines") +
         " without a record skipped";
}

}  // namespace kv218

#include "cli/load_notes.h"

#include "cli/cli_common.h"

namespace kv218::cli {

void PrintLoadNotes(std::ostream& err, const std::string& file, TargetType targetType,
                    const LoadResult& result) {
  if (!result.ok()) return;
  const RecordCounts& counts = result.counts;
  if (counts.dataRecords == 0) err << "kv218: " << file << ": no data records\n";
  if (!counts.endRecord) err << "kv218: " << file << ": no end-of-file record\n";
  if (counts.ignoredRecords > 0) {
    err << "kv218: " << file << ": " << counts.ignoredRecords
        << (counts.ignoredRecords == 1 ? " record" : " records") << " outside the memory of "
        << TargetTypeLabel(targetType) << " ignored\n";
  }
}

}  // namespace kv218::cli

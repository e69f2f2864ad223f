#include "cli/load_notes.h"

#include "ground/shown_text.h"
#include "image/load_findings.h"

namespace kv218::cli {

void PrintLoadNotes(std::ostream& err, const std::string& file, TargetType targetType,
                    const LoadResult& result) {
  for (const std::string& finding : LoadFindings(result, targetType)) {
    err << "kv218: " << ShownText(file) << ": " << finding << "\n";
  }
}

std::string SuspectFileRefusalText(const std::string& file) {
  return "kv218: " + file + ": refused as suspect; --lenient runs it all the same\n";
}

}  // namespace kv218::cli

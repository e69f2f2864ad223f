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

}  // namespace kv218::cli

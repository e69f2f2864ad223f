#pragma once
// The two ways of putting a whole file on disk that saving the settings needs. The platform's
// file implements them; tests replace them to reach what folder permissions cause, which a
// test running as the administrator cannot set up.

#include <string>
#include <string_view>

namespace kv218 {

class FileReplacer {
 public:
  enum class Result { Replaced, NoTemporary, Failed };

  virtual ~FileReplacer() = default;
  // Writes bytes to a new temporary file beside path, syncs it and renames it over path,
  // which keeps its permissions; a reader sees the old file or the new one, never half.
  // NoTemporary when the folder refuses a new file (the user may not write there).
  virtual Result ReplaceThroughTemporary(const std::string& path, std::string_view bytes) = 0;
  // Overwrites path itself (created when missing), cut to the new length and synced.
  virtual bool OverwriteInPlace(const std::string& path, std::string_view bytes) = 0;
};

// The platform's own file operations (stateless).
FileReplacer& SystemFileReplacer();

}  // namespace kv218

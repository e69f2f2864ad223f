#pragma once
// The two ways of putting a whole file on disk that saving the settings needs. The platform's
// file implements them; tests replace them to reach what folder permissions cause, which a
// test running as the administrator cannot set up.

#include <optional>
#include <string>
#include <string_view>

namespace kv218 {

class FileReplacer {
 public:
  enum class Result {
    Replaced,
    NoTemporary,  // the folder refuses a new file (the user may not write there)
    Failed,       // the file refuses to be written (read-only), or a step failed
  };
  struct Outcome {
    Result result = Result::Failed;
    std::string reason;  // why it was not replaced, in the system's words
  };

  virtual ~FileReplacer() = default;
  // Writes bytes to a new temporary file beside path, syncs it and renames it over path,
  // which keeps its permissions; a reader sees the old file or the new one, never half.
  // A symbolic link at path is written through; a file its user may not write is left alone.
  virtual Outcome ReplaceThroughTemporary(const std::string& path, std::string_view bytes) = 0;
  // Overwrites path itself (created when missing), cut to the new length and synced. Nothing
  // when written, otherwise why not.
  virtual std::optional<std::string> OverwriteInPlace(const std::string& path,
                                                      std::string_view bytes) = 0;
};

// The platform's own file operations (stateless).
FileReplacer& SystemFileReplacer();

}  // namespace kv218

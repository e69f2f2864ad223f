#include "settings/file_replacer.h"

#include <cstdio>

#include "ground/platform.h"

namespace kv218 {

namespace {

// Both ways over the platform's file calls (ground/platform.h), so they work wherever the
// core is built.
class SystemReplacer final : public FileReplacer {
 public:
  Result ReplaceThroughTemporary(const std::string& path, std::string_view bytes) override {
    ReplacementFile file(path);
    if (!file.IsOpen()) return Result::NoTemporary;
    return file.Write(bytes) && file.Commit() ? Result::Replaced : Result::Failed;
  }

  bool OverwriteInPlace(const std::string& path, std::string_view bytes) override {
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
  }
};

}  // namespace

FileReplacer& SystemFileReplacer() {
  static SystemReplacer replacer;  // holds no state
  return replacer;
}

}  // namespace kv218

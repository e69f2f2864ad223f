#include "settings/file_replacer.h"

#include <cstdio>

#include "ground/platform.h"

namespace kv218 {

namespace {

// Both ways over the platform's file calls (ground/platform.h), so they work wherever the
// core is built.
class SystemReplacer final : public FileReplacer {
 public:
  Outcome ReplaceThroughTemporary(const std::string& path, std::string_view bytes) override {
    ReplacementFile file(path);
    if (!file.IsOpen()) {
      return {file.TargetRefused() ? Result::Failed : Result::NoTemporary, file.Error()};
    }
    if (file.Write(bytes) && file.Commit()) return {Result::Replaced, {}};
    return {Result::Failed, file.Error()};
  }

  std::optional<std::string> OverwriteInPlace(const std::string& path,
                                              std::string_view bytes) override {
    std::FILE* file = OpenFile(path, "wb");
    if (file == nullptr) return LastErrorText();
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    std::optional<std::string> error;
    if (!ok) error = LastErrorText();
    if (std::fclose(file) != 0 && !error) error = LastErrorText();
    return error;
  }
};

}  // namespace

FileReplacer& SystemFileReplacer() {
  static SystemReplacer replacer;  // holds no state
  return replacer;
}

}  // namespace kv218

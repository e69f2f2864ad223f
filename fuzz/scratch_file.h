#pragma once
// One file in a temporary folder that a fuzz target rewrites for every input (the loaders
// and the settings file read from a path). Removed when the process ends normally.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace kv218::fuzz {

class ScratchFile {
 public:
  explicit ScratchFile(const char* name) {
    // Memory-backed where there is such a folder: rewriting a file on a disk file system can
    // cost a flush per input.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "kv218-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern;
    path_ = (folder_ / name).string();
  }
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return path_; }

  // Replaces the file's content with bytes.
  void Write(std::string_view bytes) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
      std::abort();
    }
    std::fclose(file);
  }
  void Remove() const { std::remove(path_.c_str()); }

 private:
  std::filesystem::path folder_;
  std::string path_;
};

}  // namespace kv218::fuzz

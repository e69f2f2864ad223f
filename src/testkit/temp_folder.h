#pragma once
// A new, empty folder of its own under the system's temporary folder, for the files of one
// test, removed with all it holds when the object goes. Its name carries a non-ASCII letter,
// so every test that keeps files there also shows that UTF-8 paths reach the file system
// whole (on Windows through the wide-character calls).

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

#include "ground/utf8_path.h"

namespace kv218::testing {

class TempFolder {
 public:
  // The folder's name is prefix, "-é-" and a random number.
  explicit TempFolder(const std::string& prefix = "kv218") : path_(MakeFolder(prefix)) {}
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The UTF-8 path of name in the folder.
  std::string File(const std::string& name) const { return Utf8FromPath(path_ / name); }
  // Writes text as name's bytes; returns its path.
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return File(name);
  }
  // Writes the lines, each ended with CR LF.
  std::string WriteLines(const std::string& name, std::initializer_list<std::string> lines) const {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return Write(name, text);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                  std::filesystem::directory_iterator()));
  }

 private:
  static std::filesystem::path MakeFolder(const std::string& prefix) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::filesystem::path folder =
          base / PathFromUtf8(prefix + "-\xC3\xA9-" + std::to_string(random() % 1000000000));
      if (std::filesystem::create_directory(folder)) return folder;  // false: the name is taken
    }
    throw std::runtime_error("no temporary folder could be made");
  }

  std::filesystem::path path_;
};

}  // namespace kv218::testing

#pragma once
// A private temp folder for the files of one test, removed afterwards.

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "ground/utf8_path.h"
#include "testkit/unique_folder.h"

namespace kv218::testing {

class TempFolder {
 public:
  TempFolder() : path_(MakeUniqueFolder("kv218")) {}
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return Utf8FromPath(path_ / name); }
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
  std::filesystem::path path_;
};

}  // namespace kv218::testing

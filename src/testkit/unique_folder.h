#pragma once
// A new, empty folder of its own under the system's temporary folder, for the files of one
// test. Its name carries a non-ASCII letter, so every test that keeps files there also shows
// that UTF-8 paths reach the file system whole (on Windows through the wide-character calls).

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "ground/utf8_path.h"

namespace kv218::testing {

inline std::filesystem::path MakeUniqueFolder(const std::string& prefix) {
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

}  // namespace kv218::testing

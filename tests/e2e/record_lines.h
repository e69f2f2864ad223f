// The lines of a run record file, parsed; a line that is not whole JSON fails the test.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace kv218::testing {

inline std::vector<nlohmann::json> RecordLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<nlohmann::json> lines;
  for (std::string line; std::getline(in, line);) {
    try {
      lines.push_back(nlohmann::json::parse(line));
    } catch (const nlohmann::json::parse_error& e) {
      ADD_FAILURE() << e.what() << " in: " << line;
    }
  }
  return lines;
}

}  // namespace kv218::testing

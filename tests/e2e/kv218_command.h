// The kv218 executable's command line in a test: the test folder's own settings file first, so
// that no run reads or writes the settings beside the executable.
#pragma once

#include <string>
#include <vector>

#include "testkit/temp_folder.h"

namespace kv218::testing {

inline std::vector<std::string> Kv218(const TempFolder& dir, std::vector<std::string> args) {
  std::vector<std::string> argv = {KV218_EXE, "--settings",
                                   (dir.path() / "kv218tool.INI").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

}  // namespace kv218::testing

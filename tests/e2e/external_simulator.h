#pragma once
// kv218-sim run by a test as a process of its own, on its own pseudo-terminal reachable
// through a symlink in the test's folder, writing its wire trace there.

#include <signal.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../runs/test_hex.h"
#include "child_process.h"

namespace kv218::testing {

// kv218-sim on its own pseudo-terminal, reachable through a symlink in dir.
class ExternalSimulator {
 public:
  ExternalSimulator(const TempFolder& dir, std::vector<std::string> extra)
      : link((dir.path() / "kv218-port").string()),
        trace((dir.path() / "trace.txt").string()),
        process(Arguments(extra)) {
    ready =
        process.WaitForOutput([](const std::string& out) { return out.find('\n') != out.npos; });
  }
  ~ExternalSimulator() {
    process.Signal(SIGINT);
    process.Wait();
  }
  std::string TraceText() const {
    std::ifstream in(trace);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The last frame the programmer received, as traced ("1F 4D 45").
  std::string LastHostFrame() const {
    std::istringstream lines(TraceText());
    std::string line, last;
    while (std::getline(lines, line)) {
      const auto at = line.find("host> ");
      if (at != std::string::npos) last = line.substr(at + 6);
    }
    return last;
  }

  std::string link;
  std::string trace;
  ChildProcess process;
  bool ready = false;

 private:
  std::vector<std::string> Arguments(const std::vector<std::string>& extra) const {
    std::vector<std::string> argv = {KV218_SIM_EXE, "--link", link, "--trace", trace};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
  }
};

}  // namespace kv218::testing

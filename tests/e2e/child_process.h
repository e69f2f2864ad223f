#pragma once
// A program started by a test, with its standard output and error captured. Waits take a
// generous deadline only as a guard against a hang; nothing is asserted about durations.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kv218::testing {

struct Finished {
  int exitCode = -1;  // -1: killed at the deadline or by a signal
  std::string out;
  std::string err;
};

// Where the child's standard output goes, and what the child may write.
struct ChildSetup {
  enum class Output {
    Pipe,      // read by the test (Out())
    Terminal,  // a pseudo-terminal of its own, read by the test, and the child's controlling
               // terminal in a session of its own, as a shell's is (no output processing)
    File,      // outputFile, opened for writing ("/dev/full"); Out() stays empty
  };
  Output output = Output::Pipe;
  std::string outputFile;
  // The file size limit in bytes (RLIMIT_FSIZE) with SIGXFSZ ignored, so that a write past
  // it is cut short and then fails as on a full disk; negative: none.
  long long fileSizeLimit = -1;
};

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv, const ChildSetup& setup = {});
  ~ChildProcess();  // kills the child when it is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Reads the child's output until ready(stdout so far) holds; false at the deadline or when
  // the child ended first.
  bool WaitForOutput(const std::function<bool(const std::string&)>& ready,
                     std::chrono::seconds deadline = std::chrono::seconds(60));
  // The same for the child's standard error.
  bool WaitForError(const std::function<bool(const std::string&)>& ready,
                    std::chrono::seconds deadline = std::chrono::seconds(60));
  void Signal(int signal);
  // Stops reading standard output: a pipe is left without a reader (the child's next write
  // fails), a terminal hangs up (its session gets SIGHUP).
  void CloseOutput();
  // Reads everything until the child ends (killing it at the deadline) and reaps it.
  Finished Wait(std::chrono::seconds deadline = std::chrono::seconds(120));

  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

 private:
  // Reads what is available within the time left; false once both pipes are closed.
  bool ReadSome(std::chrono::steady_clock::time_point until);
  bool WaitFor(const std::string& text, const std::function<bool(const std::string&)>& ready,
               std::chrono::seconds deadline);

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::string out_;
  std::string err_;
};

// Runs a program to its end.
Finished Run(const std::vector<std::string>& argv,
             std::chrono::seconds deadline = std::chrono::seconds(120));
Finished Run(const std::vector<std::string>& argv, const ChildSetup& setup,
             std::chrono::seconds deadline = std::chrono::seconds(120));

// Splits text into lines (the last line without its newline), time stamps of the closing
// lines replaced by "T".
std::vector<std::string> LogLines(const std::string& text);

}  // namespace kv218::testing

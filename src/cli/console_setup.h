#pragma once
// The console a command runs in, made ready while the command runs and put back as it was
// afterwards: output in UTF-8 (file names, a programmer's note), and the error stream's console
// processing the terminal sequences that draw the progress rows. A Windows console needs both
// switched on, and an older one cannot process sequences at all (the rows are then plain); a
// POSIX terminal has no such console and needs nothing.

#include <cstdint>

namespace kv218::cli {

// The console's calls (Windows' GetConsoleMode and friends on the error stream's console).
class ConsoleCalls {
 public:
  virtual ~ConsoleCalls() = default;
  // The console's mode; false when the stream is no console.
  virtual bool GetMode(std::uint32_t& mode) = 0;
  virtual bool SetMode(std::uint32_t mode) = 0;
  // The output code page; 0 when there is no console.
  virtual std::uint32_t OutputCodePage() = 0;
  virtual bool SetOutputCodePage(std::uint32_t page) = 0;
};

class ConsoleSetup {
 public:
  static constexpr std::uint32_t kProcessSequences = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING
  static constexpr std::uint32_t kUtf8 = 65001;               // CP_UTF8

  explicit ConsoleSetup(ConsoleCalls& console);
  // Puts back what the constructor changed.
  ~ConsoleSetup();
  ConsoleSetup(const ConsoleSetup&) = delete;
  ConsoleSetup& operator=(const ConsoleSetup&) = delete;

  // The console processes terminal sequences (it did already, or now does).
  bool SequencesProcessed() const { return sequences_; }

 private:
  ConsoleCalls& console_;
  bool sequences_ = false;
  bool modeChanged_ = false;
  std::uint32_t mode_ = 0;
  std::uint32_t codePage_ = 0;  // the page to put back; 0: unchanged
};

}  // namespace kv218::cli

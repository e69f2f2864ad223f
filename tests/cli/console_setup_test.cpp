// The console made ready for a run and put back after it: terminal sequences switched on where
// the console allows, plain rows where it does not, UTF-8 output, nothing touched without a
// console.
#include "cli/console_setup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kv218::cli {
namespace {

// A console with a mode and a code page; either change may be refused.
struct ConsoleState {
  bool console = true;
  bool refusesSequences = false;
  bool refusesPage = false;
  std::uint32_t mode = 0x3;  // processed output, wrap at the end of a line
  std::uint32_t page = 850;
};

class FakeConsole : public ConsoleCalls {
 public:
  explicit FakeConsole(ConsoleState& state) : s_(state) {}
  bool GetMode(std::uint32_t& value) override {
    if (!s_.console) return false;
    value = s_.mode;
    return true;
  }
  bool SetMode(std::uint32_t value) override {
    if (!s_.console || s_.refusesSequences) return false;
    s_.mode = value;
    return true;
  }
  std::uint32_t OutputCodePage() override { return s_.console ? s_.page : 0; }
  bool SetOutputCodePage(std::uint32_t value) override {
    if (!s_.console || s_.refusesPage) return false;
    s_.page = value;
    return true;
  }

 private:
  ConsoleState& s_;
};

TEST(ConsoleSetupTest, SequencesAndUtf8ForTheRunTheConsoleAsItWasAfter) {
  constexpr std::uint32_t kSequences = ConsoleSetup::kProcessSequences;
  const struct {
    std::string what;
    ConsoleState console;
    bool sequences;            // the rows are drawn with sequences
    std::uint32_t modeDuring;  // the console's mode and code page during the run
    std::uint32_t pageDuring;
  } cases[] = {
      {"a console that processes sequences once asked", {}, true, 0x3 | kSequences, 65001},
      {"sequences already on, UTF-8 already",
       {.mode = 0x3 | kSequences, .page = 65001},
       true,
       0x3 | kSequences,
       65001},
      {"an older console: plain rows", {.refusesSequences = true}, false, 0x3, 65001},
      {"the code page refused", {.refusesPage = true}, true, 0x3 | kSequences, 850},
      {"no console", {.console = false}, false, 0x3, 850},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.what);
    const std::uint32_t modeBefore = c.console.mode;
    const std::uint32_t pageBefore = c.console.page;
    {
      FakeConsole console(c.console);
      const ConsoleSetup setup(console);
      EXPECT_EQ(setup.SequencesProcessed(), c.sequences);
      EXPECT_EQ(c.console.mode, c.modeDuring);
      EXPECT_EQ(c.console.page, c.pageDuring);
    }
    EXPECT_EQ(c.console.mode, modeBefore);
    EXPECT_EQ(c.console.page, pageBefore);
  }
}

}  // namespace
}  // namespace kv218::cli

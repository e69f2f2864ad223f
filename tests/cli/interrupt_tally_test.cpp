// What a repeated Ctrl-C means: the first ends the run, one within a second is the same
// request delivered twice (a wrapper and the process group both pass it on), a later one
// gives up on a run that does not end.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "cli/signal_watcher.h"

namespace kv218::cli {
namespace {

using std::chrono::milliseconds;

TEST(InterruptTally, CountsFromTheFirstRequest) {
  const struct {
    const char* name;
    std::vector<int> at;  // ms after the start
    std::vector<Interrupt> meant;
  } cases[] = {
      {"one", {0}, {Interrupt::First}},
      {"delivered twice", {0, 5}, {Interrupt::First, Interrupt::Echo}},
      {"just under a second", {100, 1099}, {Interrupt::First, Interrupt::Echo}},
      {"a second later", {100, 1100}, {Interrupt::First, Interrupt::GiveUp}},
      // Echoes do not move the start: the second is counted from the first request.
      {"echoes, then again",
       {0, 600, 900, 1000},
       {Interrupt::First, Interrupt::Echo, Interrupt::Echo, Interrupt::GiveUp}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InterruptTally tally;
    const std::chrono::steady_clock::time_point start{};
    for (std::size_t i = 0; i < c.at.size(); ++i) {
      EXPECT_EQ(tally.Take(start + milliseconds(c.at[i])), c.meant[i]) << "request " << i;
    }
  }
}

}  // namespace
}  // namespace kv218::cli

// The programmer's stand-alone runs as the record follows them from its status reports.

#include "record/standalone_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace kv218 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A pause of the programmer cuts its reports at any byte: each run still counts once.
TEST(StandaloneRunWatch, ReportsSplitAcrossBurstsStillOpenAndCloseARun) {
  const std::vector<std::vector<Bytes>> runs = {
      {{0x1B, 0x53, 0x00, 0x1B, 0x53, 0x02, 0x12}, {0x34, 0x1B, 0x53, 0x07}},
      {{0x1B}, {0x53, 0x00, 0x1B, 0x53}, {0x06}},
  };
  StandaloneRunWatch watch;
  std::vector<RunRecord> finished;
  const WallTime now{};
  for (const auto& bursts : runs) {
    for (const Bytes& burst : bursts) {
      watch.OnBurst(burst.data(), burst.size(), now,
                    [&](const RunRecord& run) { finished.push_back(run); });
    }
  }
  ASSERT_EQ(finished.size(), 2u);
  EXPECT_EQ(finished[0].result, "succeeded");
  EXPECT_EQ(finished[0].codeProgrammed, "1234");
  EXPECT_EQ(finished[1].result, "failed");
  EXPECT_EQ(watch.tally().passed, 1);
  EXPECT_EQ(watch.tally().failed, 1);
}

// The wall clock set back an hour between the opening and the closing report: the record's
// duration is the steady clock's six seconds, not minus an hour.
TEST(StandaloneRunWatch, TheDurationComesFromTheSteadyClock) {
  StandaloneRunWatch watch;
  std::vector<RunRecord> finished;
  const auto note = [&](const RunRecord& run) { finished.push_back(run); };
  const Bytes opening = {0x1B, 0x53, 0x00};
  const Bytes closing = {0x1B, 0x53, 0x07};
  const WallTime start{std::chrono::hours(500'000)};
  const SteadyTime steady{std::chrono::hours(1)};
  watch.OnBurst(opening.data(), opening.size(), start, note, steady);
  watch.OnBurst(closing.data(), closing.size(), start - std::chrono::hours(1), note,
                steady + std::chrono::seconds(6));
  ASSERT_EQ(finished.size(), 1u);
  EXPECT_EQ(finished[0].elapsed, std::chrono::milliseconds(6000));
  EXPECT_NE(RecordLine(finished[0]).find("\"duration_s\":6.000,"), std::string::npos)
      << RecordLine(finished[0]);
}

}  // namespace
}  // namespace kv218

// The programmer's stand-alone runs as the record follows them from its status reports.

#include "record/standalone_watch.h"

#include <gtest/gtest.h>

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

// A run that opens and never closes is handed on unfinished, once, ending at its last report.
TEST(StandaloneRunWatch, ARunNeverClosedIsHandedOnUnfinishedOnce) {
  StandaloneRunWatch watch;
  std::vector<RunRecord> finished;
  const auto keep = [&](const RunRecord& run) { finished.push_back(run); };
  const Bytes open = {0x1B, 0x53, 0x00};
  const Bytes ready = {0x1B, 0x53, 0x01, 0x05};
  const WallTime t0{};
  watch.OnBurst(open.data(), open.size(), t0, keep);
  watch.OnBurst(ready.data(), ready.size(), t0 + std::chrono::seconds(1), keep);
  EXPECT_TRUE(watch.RunOpen());
  for (int tick = 1; tick < kStandaloneSilenceTicks; ++tick) watch.OnTick(keep);
  EXPECT_TRUE(finished.empty());
  watch.OnBurst(ready.data(), ready.size(), t0 + std::chrono::seconds(70), keep);  // alive
  for (int tick = 1; tick < kStandaloneSilenceTicks; ++tick) watch.OnTick(keep);
  EXPECT_TRUE(finished.empty());
  watch.OnTick(keep);
  ASSERT_EQ(finished.size(), 1u);
  EXPECT_EQ(finished[0].result, "unfinished");
  EXPECT_EQ(finished[0].end, t0 + std::chrono::seconds(70));
  EXPECT_EQ(finished[0].deviceReady, "05");
  EXPECT_FALSE(watch.RunOpen());
  watch.OnTick(keep);
  watch.Abandon(keep);
  EXPECT_EQ(finished.size(), 1u);
  EXPECT_EQ(watch.tally().unfinished, 1);
  EXPECT_EQ(watch.tally().passed + watch.tally().failed, 0);
}

}  // namespace
}  // namespace kv218

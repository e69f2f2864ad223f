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

}  // namespace
}  // namespace kv218

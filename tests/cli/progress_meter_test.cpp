// The progress row's text, driven by a fake clock and byte count.
#include "cli/progress_meter.h"

#include <gtest/gtest.h>

#include <string>

namespace kv218 {
namespace {

using namespace std::chrono_literals;

class ProgressMeterTest : public ::testing::Test {
 protected:
  std::string Row(std::chrono::milliseconds at, std::uint64_t bytes, std::size_t width = 200) {
    std::string text;
    meter.Format("[sim1] ", t0 + at, bytes, width, text);
    return text;
  }

  const ProgressMeter::TimePoint t0{};
  ProgressMeter meter{t0};
};

TEST_F(ProgressMeterTest, NamesTheStepWithElapsedTimeRateAndTimeLeft) {
  meter.LineStarted("", t0, 0);
  meter.LineStarted("PROGRAMMING TARGET ... (12/10/26 13:58:05)", t0, 0);  // no step
  meter.LineStarted("3. Programming Program Memory ...", t0 + 2s, 1000);
  meter.SetPercent(0, t0 + 2s, 1000);
  meter.SetPercent(40, t0 + 6s, 42600);
  // 41,600 bytes in 4 s; 40 % in 4 s leaves 60 % for 6 s.
  EXPECT_EQ(Row(6s, 42600),
            "[sim1] [########            ]  40%   0:06    10.4 kB/s   0:06 left  3. Programming "
            "Program Memory");
}

TEST_F(ProgressMeterTest, FieldsStayBlankUntilTheyCanBeTold) {
  struct Case {
    std::chrono::milliseconds at;
    int percent;
    std::uint64_t bytes;
    std::string row;
  };
  const Case cases[] = {
      // Nothing measured yet: bar, figure and elapsed time only.
      {0ms, 0, 0, "[sim1] [                    ]   0%   0:00"},
      // Less than a second into the step: no rate, no estimate.
      {500ms, 10, 5000, "[sim1] [##                  ]  10%   0:00"},
      // A step whose gauge has not moved (an erase): a rate, no estimate.
      {3000ms, 0, 600, "[sim1] [                    ]   0%   0:03     0.2 kB/s"},
      // A complete gauge has nothing left to estimate.
      {90'000ms, 100, 900'000, "[sim1] [####################] 100%   1:30    10.0 kB/s"},
      // Hours.
      {3'723'000ms, 50, 0,
       "[sim1] [##########          ]  50%  1:02:03               1:02:03 left"},
  };
  for (const Case& c : cases) {
    ProgressMeter fresh(t0);
    fresh.SetPercent(c.percent, t0 + c.at, c.bytes);
    std::string text;
    fresh.Format("[sim1] ", t0 + c.at, c.bytes, 200, text);
    EXPECT_EQ(text, c.row) << c.at.count();
  }
}

TEST_F(ProgressMeterTest, ANewStepOrAFallingGaugeMeasuresAfresh) {
  meter.LineStarted("3. Programming Program Memory ...", t0, 0);
  meter.SetPercent(100, t0 + 10s, 100'000);
  meter.LineStarted("4. Reading Program Memory ...", t0 + 10s, 100'000);
  meter.SetPercent(0, t0 + 10s, 100'000);
  meter.SetPercent(25, t0 + 12s, 110'000);
  // Only the 10,000 bytes and 25 % of the read-back count: 5 kB/s, 6 s left.
  EXPECT_EQ(Row(12s, 110'000),
            "[sim1] [#####               ]  25%   0:12     5.0 kB/s   0:06 left  4. Reading "
            "Program Memory");
  meter.SetPercent(0, t0 + 20s, 150'000);  // another transfer starts
  meter.SetPercent(10, t0 + 22s, 152'000);
  EXPECT_EQ(Row(22s, 152'000),
            "[sim1] [##                  ]  10%   0:22     1.0 kB/s   0:18 left  4. Reading "
            "Program Memory");
}

TEST_F(ProgressMeterTest, AStoppedRunShowsItsLastLineAndStopsTheClock) {
  meter.LineStarted("1. Reading Device ID ...", t0, 0);
  meter.SetPercent(30, t0 + 2s, 100);
  meter.LineStarted("TimeOut !! No response with target !!", t0 + 8s, 100);
  meter.Stop(t0 + 8s);
  EXPECT_TRUE(meter.Stopped());
  EXPECT_EQ(Row(60s, 100),
            "[sim1] [######              ]  30%   0:08                           TimeOut !! No "
            "response with target !!");
  meter.SetPercent(40, t0 + 61s, 100);  // moving again wakes it
  EXPECT_FALSE(meter.Stopped());
}

TEST_F(ProgressMeterTest, IsCutToTheTerminalsWidth) {
  meter.LineStarted("3. Programming Program Memory ...", t0, 0);
  EXPECT_EQ(Row(0s, 0, 20), "[sim1] [            ");
}

}  // namespace
}  // namespace kv218

// The programmer's stand-alone runs as the record follows them from its status reports: which
// report opens a run and which closes it, which values a run keeps, when it started and ended,
// how it is counted, and which bytes are no run at all.

#include "record/standalone_watch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kv218 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Text = std::optional<std::string>;

// ESC 'S' code and its value: one byte for code 1, 16 bits big-endian for codes 2 to 5.
Bytes Report(std::uint8_t code, unsigned value = 0) {
  Bytes bytes{0x1B, 0x53, code};
  if (code == 1) bytes.push_back(static_cast<std::uint8_t>(value));
  if (code >= 2 && code <= 5) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
  }
  return bytes;
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A burst as the programmer sent it, at so many seconds after the start of the test.
struct Burst {
  int at;
  Bytes bytes;
};

// A run the watch handed on.
struct Finished {
  std::string result;
  std::optional<int> start;  // seconds; none: the opening report was missed
  int end;
  Text ready, codeProgrammed, codeVerified, configProgrammed, configVerified;
};

struct WatchCase {
  const char* name;
  std::vector<Burst> bursts;
  std::vector<Finished> finished;
  int passed, failed;
};
void PrintTo(const WatchCase& c, std::ostream* os) { *os << c.name; }

const WallTime kStart{std::chrono::seconds(1'700'000'000)};
WallTime At(int seconds) { return kStart + std::chrono::seconds(seconds); }

const Bytes kFullRun = Report(0) + Report(1, 0x07) + Report(2, 0x1234) + Report(3, 0x1234) +
                       Report(4, 0xABCD) + Report(5, 0xABCD) + Report(7);
// A read-back data reply (lead byte 0x1F) whose data happens to hold a closing report.
const Bytes kReplyHoldingAReport = Bytes{0x1F, 0x52, 0x44, 0x53, 0x00} + Report(7) + Bytes{0x00};

class StandaloneWatchTable : public ::testing::TestWithParam<WatchCase> {};

TEST_P(StandaloneWatchTable, OpensKeepsAndClosesRunsByTheReports) {
  const WatchCase& c = GetParam();
  StandaloneRunWatch watch;
  std::vector<RunRecord> finished;
  for (const Burst& burst : c.bursts) {
    watch.OnBurst(burst.bytes.data(), burst.bytes.size(), At(burst.at),
                  [&](const RunRecord& run) { finished.push_back(run); });
  }
  ASSERT_EQ(finished.size(), c.finished.size());
  for (std::size_t i = 0; i < finished.size(); ++i) {
    SCOPED_TRACE("run " + std::to_string(i));
    const RunRecord& run = finished[i];
    const Finished& want = c.finished[i];
    EXPECT_EQ(run.kind, RunRecord::Kind::Standalone);
    EXPECT_EQ(run.result, want.result);
    EXPECT_EQ(run.start, want.start ? std::optional<WallTime>(At(*want.start)) : std::nullopt);
    EXPECT_EQ(run.end, At(want.end));
    EXPECT_EQ(run.deviceReady, want.ready);
    EXPECT_EQ(run.codeProgrammed, want.codeProgrammed);
    EXPECT_EQ(run.codeVerified, want.codeVerified);
    EXPECT_EQ(run.configProgrammed, want.configProgrammed);
    EXPECT_EQ(run.configVerified, want.configVerified);
    // The caller names the host, the version and the port; nothing of a host run is set.
    EXPECT_TRUE(run.port.empty());
    EXPECT_FALSE(run.hexFile.has_value());
    EXPECT_FALSE(run.targetType.has_value());
  }
  EXPECT_EQ(watch.tally().passed, c.passed);
  EXPECT_EQ(watch.tally().failed, c.failed);
  EXPECT_EQ(watch.tally().unfinished,
            std::count_if(c.finished.begin(), c.finished.end(),
                          [](const Finished& f) { return f.result == "unfinished"; }));
}

const Text kNone;

INSTANTIATE_TEST_SUITE_P(
    Reports, StandaloneWatchTable,
    ::testing::Values(
        // Every report in one burst: the values in hexadecimal, two digits for the ready
        // state and four for the checksums, as the log shows them.
        WatchCase{"WholeRunInOneBurst",
                  {{4, kFullRun}},
                  {{"succeeded", 4, 4, "07", "1234", "1234", "ABCD", "ABCD"}},
                  1,
                  0},
        // A run spread over bursts starts at its opening report and ends at its closing one;
        // a value never reported stays empty, a small one keeps its leading zeros.
        WatchCase{"RunOverSeveralBursts",
                  {{0, Report(0)}, {1, Report(1, 0x00)}, {5, Report(2, 0x0102)}, {9, Report(6)}},
                  {{"failed", 0, 9, "00", "0102", kNone, kNone, kNone}},
                  0,
                  1},
        // The opening report was missed (the port opened in the middle of the run): the run
        // is still recorded, with the values seen and no start.
        WatchCase{"ClosingWithoutOpening",
                  {{3, Report(1, 0x05) + Report(7)}},
                  {{"succeeded", std::nullopt, 3, "05", kNone, kNone, kNone, kNone}},
                  1,
                  0},
        // A second opening report starts a run afresh: the one before it, never closed, is
        // handed on unfinished with what it had, ending at its last report.
        WatchCase{"SecondOpeningStartsAfresh",
                  {{0, Report(0) + Report(1, 0x01) + Report(2, 0x2222)},
                   {2, Report(0)},
                   {4, Report(3, 0x3333) + Report(7)}},
                  {{"unfinished", 0, 0, "01", "2222", kNone, kNone, kNone},
                   {"succeeded", 2, 4, kNone, kNone, "3333", kNone, kNone}},
                  1,
                  0},
        // Values after a closing report belong to the next run, not to the one closed.
        WatchCase{
            "ValuesAfterACloseBelongToTheNextRun",
            {{0, Report(0) + Report(1, 0x07) + Report(7) + Report(2, 0x1111)}, {6, Report(6)}},
            {{"succeeded", 0, 0, "07", kNone, kNone, kNone, kNone},
             {"failed", std::nullopt, 6, kNone, "1111", kNone, kNone, kNone}},
            1,
            1},
        // A command reply is data the host asked for: a report inside it opens and closes
        // nothing, and the runs on either side of it count as before.
        WatchCase{
            "ReportsInsideAReplyAreNoRun",
            {{0, kReplyHoldingAReport}, {1, Report(0)}, {2, kReplyHoldingAReport}, {3, Report(7)}},
            {{"succeeded", 1, 3, kNone, kNone, kNone, kNone, kNone}},
            1,
            0},
        // A report cut off by the end of a burst is completed by the next one, but not across
        // a reply in between, nor across an empty read.
        WatchCase{"ACutReportIsCompletedByTheNextBurst",
                  {{0, Report(0) + Bytes{0x1B, 0x53}}, {1, Bytes{0x07}}},
                  {{"succeeded", 0, 1, kNone, kNone, kNone, kNone, kNone}},
                  1,
                  0},
        WatchCase{"AReplyBetweenDropsTheCutReport",
                  {{0, Bytes{0x1B, 0x53}}, {1, kReplyHoldingAReport}, {2, Bytes{0x07}}},
                  {},
                  0,
                  0},
        WatchCase{"AnEmptyReadDropsTheCutReport",
                  {{0, Bytes{0x1B, 0x53}}, {1, Bytes{}}, {2, Bytes{0x07}}},
                  {},
                  0,
                  0},
        // Three runs, one after the other: each counted once, passed or failed.
        WatchCase{"EachRunCountedOnce",
                  {{0, Report(0) + Report(7)}, {1, Report(0) + Report(6)}, {2, kFullRun}},
                  {{"succeeded", 0, 0, kNone, kNone, kNone, kNone, kNone},
                   {"failed", 1, 1, kNone, kNone, kNone, kNone, kNone},
                   {"succeeded", 2, 2, "07", "1234", "1234", "ABCD", "ABCD"}},
                  2,
                  1}),
    [](const ::testing::TestParamInfo<WatchCase>& p) { return std::string(p.param.name); });

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

// The pieces of a run on several ports that need no port: the order of exit statuses, the
// closing summary, the faults meant for one simulated programmer, and the ports' labels.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/multi_run.h"
#include "cli/port_run.h"
#include "cli/simulated_programmer.h"

namespace kv218::cli {
namespace {

using ::testing::HasSubstr;

PortRun RunOf(std::string port, RunOutcome outcome, bool opened = true, double seconds = 1.0) {
  PortRun run;
  run.port = std::move(port);
  run.opened = opened;
  run.outcome = outcome;
  run.duration = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
  return run;
}

TEST(ExitStatus, TheMostSeriousOfThePortsCounts) {
  // From the least serious up; each beats all before it, whichever order they come in.
  const int ranked[] = {kExitOk,    kExitFailure, kExitTimeout,
                        kExitUsage, kExitPort,    kExitInterrupted};
  for (std::size_t low = 0; low < std::size(ranked); ++low) {
    for (std::size_t high = low; high < std::size(ranked); ++high) {
      EXPECT_EQ(MoreSerious(ranked[low], ranked[high]), ranked[high]) << low << " " << high;
      EXPECT_EQ(MoreSerious(ranked[high], ranked[low]), ranked[high]) << low << " " << high;
    }
  }
}

TEST(ExitStatus, OfEachPortsRun) {
  struct Case {
    PortRun run;
    int exitCode;
    std::string_view text;
  };
  const Case cases[] = {
      {RunOf("a", RunOutcome::Succeeded), kExitOk, "succeeded"},
      {RunOf("a", RunOutcome::Failed), kExitFailure, "failed"},
      {RunOf("a", RunOutcome::TimedOut), kExitTimeout, "time-out"},
      {RunOf("a", RunOutcome::LoadFailed), kExitUsage, "file not loaded"},
      {RunOf("a", RunOutcome::Failed, /*opened=*/false), kExitPort, "port not opened"},
      // Ctrl-C before its port was opened: interrupted, not a port fault.
      {RunOf("a", RunOutcome::Interrupted, /*opened=*/false), kExitInterrupted, "interrupted"},
      {RunOf("a", RunOutcome::Interrupted), kExitInterrupted, "interrupted"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExitCodeOf(c.run), c.exitCode) << c.text;
    EXPECT_EQ(ResultText(c.run), c.text);
  }
}

TEST(Summary, OneLinePerPortThenTheDecidingStatusAndPorts) {
  const std::vector<PortRun> runs = {RunOf("sim1", RunOutcome::Succeeded, true, 12.34),
                                     RunOf("sim2", RunOutcome::TimedOut, true, 6.5),
                                     RunOf("sim3", RunOutcome::Failed, true, 9.0),
                                     RunOf("sim10", RunOutcome::TimedOut, true, 7.0)};
  EXPECT_EQ(ExitCodeOf(runs), kExitTimeout);
  EXPECT_EQ(SummaryText(runs),
            "\nSummary\n"
            "  sim1   succeeded           12.3 s\n"
            "  sim2   time-out             6.5 s\n"
            "  sim3   failed               9.0 s\n"
            "  sim10  time-out             7.0 s\n"
            "Exit status 3: time-out on sim2, sim10\n");
}

TEST(Summary, AllSucceeded) {
  const std::vector<PortRun> runs = {RunOf("ttyUSB0", RunOutcome::Succeeded),
                                     RunOf("ttyUSB1", RunOutcome::Succeeded)};
  EXPECT_EQ(ExitCodeOf(runs), kExitOk);
  EXPECT_THAT(SummaryText(runs), HasSubstr("\nExit status 0: all 2 succeeded\n"));
}

std::vector<sim::FaultKind> KindsOf(const std::optional<sim::FaultSet>& faults) {
  std::vector<sim::FaultKind> kinds;
  if (faults) {
    for (const sim::Fault& fault : faults->All()) kinds.push_back(fault.kind);
  }
  return kinds;
}

TEST(SimulatedFaults, ANumberNamesOneProgrammerNoNumberAll) {
  const std::vector<std::string> texts = {"2:corrupt-readback", "status-in-data",
                                          "3:silent-at=WDD#2"};
  std::string error;
  using K = sim::FaultKind;
  EXPECT_EQ(KindsOf(FaultsOf(texts, 1, 3, error)), (std::vector<K>{K::StatusInData}));
  EXPECT_EQ(KindsOf(FaultsOf(texts, 2, 3, error)),
            (std::vector<K>{K::CorruptReadback, K::StatusInData}));
  const auto third = FaultsOf(texts, 3, 3, error);
  ASSERT_TRUE(third) << error;
  EXPECT_EQ(KindsOf(third), (std::vector<K>{K::StatusInData, K::SilentAt}));
  EXPECT_EQ(third->Find(K::SilentAt)->command, "WDD");
  EXPECT_EQ(third->Find(K::SilentAt)->number, 2u);
}

TEST(SimulatedFaults, BadNumbersAndNamesAreRefused) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {{"4:corrupt-readback", "there are 3"},
                        {"0:corrupt-readback", "names simulated programmer 0"},
                        {"2:no-such-fault", "no-such-fault"},
                        {"x:corrupt-readback", "x:corrupt-readback"}};
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(FaultsOf({c.text}, 1, 3, error)) << c.text;
    EXPECT_THAT(error, HasSubstr(c.message));
  }
}

TEST(PortLabels, NameTheDeviceWithoutItsFolder) {
  EXPECT_EQ(PortLabel("/dev/ttyUSB0"), "ttyUSB0");
  EXPECT_EQ(PortLabel("/dev/serial/by-id/usb-FTDI_1"), "serial/by-id/usb-FTDI_1");
  EXPECT_EQ(PortLabel("\\\\.\\COM5"), "COM5");
  EXPECT_EQ(PortLabel("/tmp/kv218-port"), "/tmp/kv218-port");
}

}  // namespace
}  // namespace kv218::cli

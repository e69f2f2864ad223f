// The two ways the host ends a burst hold the same conversation. Against a simulated
// programmer whose bursts come late and in pieces (pauses inside a burst stay well below the
// 50 ms gap), a run whose replies end as soon as their length has arrived and a run whose
// bursts all end at the gap log the same lines, send the same frames, and hand the same
// bursts to the reply decoding: the controller, the POSIX port and the receive thread over a
// pseudo-terminal, as in use.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "../runs/test_hex.h"
#include "app/controller.h"
#include "app/queue_loop.h"
#include "port/posix_port.h"
#include "sim/device_model.h"
#include "sim/fault_set.h"
#include "sim/pty_server.h"
#include "sim/wire_trace.h"
#include "testkit/recording_window.h"

namespace kv218 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// Counts the bursts that the receive thread's BurstEnd ended.
class CountingEnd final : public BurstEnd {
 public:
  CountingEnd(const BurstEnd& inner, int& ended) : inner_(inner), ended_(ended) {}
  bool Complete(const std::uint8_t* bytes, std::size_t count) const override {
    const bool complete = inner_.Complete(bytes, count);
    if (complete) ++ended_;
    return complete;
  }

 private:
  const BurstEnd& inner_;
  int& ended_;
};

// PosixPort that keeps every burst it hands to the receive thread, and counts those that
// ended before the gap. Both are the receive thread's, read after it has been joined.
class BurstKeepingPort : public PosixPort {
 public:
  BurstKeepingPort(std::vector<Bytes>& bursts, int& endedEarly)
      : bursts_(bursts), endedEarly_(endedEarly) {}
  ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                       const BurstEnd* end) override {
    ReadStatus status = ReadStatus::Failed;
    if (end != nullptr) {
      const CountingEnd counting(*end, endedEarly_);
      status = PosixPort::ReadBurst(buffer, capacity, count, &counting);
    } else {
      status = PosixPort::ReadBurst(buffer, capacity, count, nullptr);
    }
    if (status == ReadStatus::Burst) bursts_.emplace_back(buffer, buffer + count);
    return status;
  }

 private:
  std::vector<Bytes>& bursts_;
  int& endedEarly_;
};

struct Conversation {
  RunOutcome outcome = RunOutcome::Busy;
  std::vector<std::string> log;   // date and time cut from the stamped lines
  std::vector<Bytes> bursts;      // as the host read them
  int endedEarly = 0;             // bursts handed over before the gap
  std::vector<std::string> wire;  // frames and bursts as the programmer saw and sent them
};

// The stamped lines differ in their date and time only.
std::string WithoutStamp(const std::string& line) {
  const auto open = line.rfind(" (");
  const bool stamped = open != std::string::npos && line.back() == ')' &&
                       (line.rfind("PROGRAMMING", 0) == 0 || line.rfind("KV-218", 0) == 0);
  return stamped ? line.substr(0, open) : line;
}

// The trace's lines without their times ("+ 1.234567 host> 1F 52 49" -> "host> 1F 52 49").
std::vector<std::string> TraceEntries(const std::string& path) {
  std::vector<std::string> entries;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    for (const char* side : {"host> ", "sim<  "}) {
      const auto at = line.find(side);
      if (at != std::string::npos) entries.push_back(line.substr(at));
    }
  }
  return entries;
}

struct Case {
  const char* name;
  int targetType;
  bool store;  // the flash download; otherwise the target run
  std::vector<std::string> faults;
  std::string (*image)();
  RunOutcome outcome;
  int repliesEndedEarly;  // by their length, in the fast run
};

std::string SmallType0() { return testing::Type0Hex(64, 5 * 2048); }  // six blocks each way
std::string Type1() { return testing::Type16Hex(true); }
std::string Type2() { return testing::Type16Hex(false); }
std::string Type3() { return testing::Type1KHex(); }

class FramingTest : public ::testing::TestWithParam<Case> {
 protected:
  Conversation Run(bool silence, std::uint32_t seed) {
    const Case& c = GetParam();
    Conversation result;
    std::string error;
    sim::DeviceOptions device;
    device.eraseTime = milliseconds(30);
    device.programTime = milliseconds(5);
    auto faults = sim::FaultSet::Parse(c.faults, error);
    EXPECT_TRUE(faults) << error;
    if (faults) device.faults = std::move(*faults);
    sim::DeviceModel model(std::move(device));

    const std::string tracePath =
        (dir.path() / (silence ? "silence.trace" : "fast.trace")).string();
    sim::WireTrace trace;
    EXPECT_TRUE(trace.Open(tracePath, error)) << error;
    sim::LineOptions line;
    line.unpaced = true;
    line.unsteady = {seed, milliseconds(15), milliseconds(80)};
    line.trace = &trace;
    sim::PtyServer server(model, line);
    EXPECT_TRUE(server.Start(error)) << error;

    {
      RecordingWindow window;
      window.targetType = c.targetType;
      QueueLoop loop(milliseconds(100));  // a time-out after 0.6 s of silence
      Controller controller(window, loop, (dir.path() / "none.INI").string(), [&result] {
        return std::make_unique<BurstKeepingPort>(result.bursts, result.endedEarly);
      });
      controller.ReadSettingsFile();
      if (silence) controller.ForceSilenceFraming();
      EXPECT_TRUE(controller.OpenPort(server.SlavePath(), false));
      controller.station().HexFileName = dir.Write("image.hex", c.image());
      result.outcome = c.store ? controller.BitBtn3Click() : controller.BitBtn2Click();
      controller.FormClose(0);
      for (const std::string& text : window.log) result.log.push_back(WithoutStamp(text));
    }
    server.Stop();
    result.wire = TraceEntries(tracePath);
    return result;
  }

  testing::TempDir dir;
};

// The first entry in which two sequences differ, shortened, or nothing when they agree.
template <typename T>
std::string FirstDifference(const std::vector<T>& a, const std::vector<T>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) {
      return "entry " + std::to_string(i) + ": " + ::testing::PrintToString(a[i]).substr(0, 120) +
             " against " + ::testing::PrintToString(b[i]).substr(0, 120);
    }
  }
  if (a.size() != b.size()) {
    return std::to_string(a.size()) + " entries against " + std::to_string(b.size());
  }
  return "";
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

TEST_P(FramingTest, RepliesEndedByLengthGiveTheSameConversationAsSilence) {
  std::uint32_t seed = 1;  // one per case, the same for both runs
  for (const char* c = GetParam().name; *c != 0; ++c)
    seed = seed * 31 + static_cast<std::uint8_t>(*c);
  const Conversation fast = Run(false, seed);
  const Conversation silence = Run(true, seed);
  EXPECT_EQ(fast.outcome, GetParam().outcome);
  EXPECT_EQ(silence.outcome, GetParam().outcome);
  EXPECT_EQ(fast.endedEarly, GetParam().repliesEndedEarly);
  EXPECT_EQ(silence.endedEarly, 0);
  EXPECT_EQ(FirstDifference(fast.log, silence.log), "");
  EXPECT_EQ(FirstDifference(fast.bursts, silence.bursts), "");
  EXPECT_EQ(FirstDifference(fast.wire, silence.wire), "");
}

// The replies each run gets, counted from the sequences: a type-0 run of six blocks has 22
// (identity, erase, write start, 6 blocks, read start and address, 6 blocks and one more
// address, read end, configuration written and read, reset), a type-1 run 69 (3 + 32 + 1 +
// 32 + 1), a type-2 store 29 (counter read, erase, counter written, 9 blocks out, 17 back).
constexpr auto kOk = RunOutcome::Succeeded;
const Case kCases[] = {
    {"ProgramType0", 0, false, {}, SmallType0, kOk, 22},
    {"ProgramType1", 1, false, {}, Type1, kOk, 69},
    {"ProgramType3", 3, false, {}, Type3, kOk, 1},
    {"StoreType2", 2, true, {}, Type2, kOk, 29},
    // A type-3 flash block is shorter than the others: that one reply ends at the gap.
    {"StoreType3", 3, true, {}, Type3, kOk, 4},
    // Status reports inside read-back data lengthen those replies (and shift the data, so the
    // verify fails).
    {"StatusReportsInData", 0, false, {"status-in-data"}, SmallType0, RunOutcome::Failed, 19},
    {"StatusReportsInFlashData", 2, true, {"status-in-data"}, Type2, RunOutcome::Failed, 29},
    // Data replies cut short end at the gap, and a read-back that lost data fails the run
    // before its verify; bytes before a reply end at the gap too, and the run times out there.
    {"ShortReadBack", 0, false, {"short-reply=RDD"}, SmallType0, RunOutcome::Failed, 13},
    {"NoiseBeforeIdentity", 1, false, {"noise-before-reply=8RI"}, Type1, RunOutcome::TimedOut, 0},
    // The verify fails after the read-back end: no configuration, no reset.
    {"CorruptReadBack", 0, false, {"corrupt-readback"}, SmallType0, RunOutcome::Failed, 19},
};

INSTANTIATE_TEST_SUITE_P(Runs, FramingTest, ::testing::ValuesIn(kCases),
                         [](const auto& runCase) { return std::string(runCase.param.name); });

}  // namespace
}  // namespace kv218

#include "sequence_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "ground/text.h"
#include "protocol/receive_handler.h"
#include "sim/fault_set.h"

namespace kv218::testing {
namespace {

sim::DeviceOptions OptionsWith(const std::vector<std::string>& faults) {
  std::string error;
  auto parsed = sim::FaultSet::Parse(faults, error);
  if (!parsed) throw std::invalid_argument(error);
  sim::DeviceOptions options;
  options.faults = *parsed;
  return options;
}

}  // namespace

SequenceFixture::SequenceFixture(const std::vector<std::string>& faults)
    : model(std::make_unique<sim::DeviceModel>(OptionsWith(faults))),
      port(std::make_unique<sim::InProcessPort>(*model, loop)),
      run{station, window, loop, frames, control, [this](std::chrono::milliseconds pause) {
            events_.push_back("sleep:" + std::to_string(pause.count()));
            loop.Sleep(pause);
          }} {
  model->SetFrameObserver([this](const sim::Frame& frame) {
    received_.push_back(frame.command);
    events_.push_back("frame:" + std::to_string(static_cast<int>(frame.command)));
    if (hook_) hook_(frame);
  });
  port->SetReceiver([this](const std::uint8_t* data, std::size_t count) {
    ReceiveHandler(station, window, loop, followUp, data, count);
  });
  port->Open("sim", "115200,E,8,1");
  station.port = port.get();
  loop.SetTickHandler([this] { CountTick(station); });
}

SequenceFixture::~SequenceFixture() {
  station.port = nullptr;
  loop.Shutdown();
}

RunOutcome SequenceFixture::Program(int type, const std::string& path) {
  return Run(&RunTargetSequence, type, path);
}

RunOutcome SequenceFixture::Store(int type, const std::string& path) {
  return Run(&RunFlashDownload, type, path);
}

RunOutcome SequenceFixture::Run(RunOutcome (*session)(RunContext&), int type,
                                const std::string& path) {
  window.targetType = type;
  station.HexFileName = path;
  control.running = true;
  RunContext context = run;  // each session names its own closing lines
  const RunOutcome outcome = session(context);
  control.running = false;
  return outcome;
}

void SequenceFixture::InjectAfter(std::chrono::milliseconds delay,
                                  std::vector<std::uint8_t> burst) {
  loop.PostAfter(delay, [this, burst] {
    ReceiveHandler(station, window, loop, followUp, burst.data(), burst.size());
  });
}

void SequenceFixture::Inject(std::vector<std::uint8_t> burst) {
  loop.Post([this, burst] {
    ReceiveHandler(station, window, loop, followUp, burst.data(), burst.size());
  });
}

std::size_t SequenceFixture::CountReceived(sim::Command command) const {
  return static_cast<std::size_t>(std::count(received_.begin(), received_.end(), command));
}

std::vector<std::string> SequenceFixture::Log() const { return WithoutTimeStamps(window.log); }

std::vector<std::string> WithoutTimeStamps(const std::vector<std::string>& log) {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    bool stamped = false;
    for (const char* opening : {"PROGRAMMING ", "KV-218 TO TARGET", "VERIFY", "READ"}) {
      stamped = stamped || line.rfind(opening, 0) == 0;
    }
    const auto open = line.rfind('(');
    if (stamped && open != std::string::npos && !line.empty() && line.back() == ')') {
      lines.push_back(line.substr(0, open + 1) + "T)");
    } else {
      lines.push_back(line);
    }
  }
  return lines;
}

std::vector<std::string> RunLines(const SequenceFixture& fixture) {
  std::vector<std::string> log = fixture.Log();
  EXPECT_GE(log.size(), 3u);
  if (log.size() < 3) return {};
  EXPECT_EQ(log[0], "");
  EXPECT_THAT(log[2], ::testing::StartsWith("Loading ... OK"));
  return std::vector<std::string>(log.begin() + 3, log.end());
}

std::string OneByteDifferenceText(std::int64_t address, std::uint8_t file, std::uint8_t flipped) {
  return "First difference at 0x" + Hex(static_cast<std::uint64_t>(address), 4) + ": file " +
         Hex(file, 2) + ", read " + Hex(static_cast<std::uint8_t>(file ^ flipped), 2) +
         " (1 byte differs)";
}

void ExpectIdleAfterEndRun(const SequenceFixture& fixture) {
  EXPECT_TRUE(fixture.window.buttonsEnabled);
  EXPECT_FALSE(fixture.loop.TickTimerOn());
  ASSERT_FALSE(fixture.Received().empty());
  EXPECT_EQ(fixture.Received().front(), sim::Command::BeginRun);
  EXPECT_EQ(fixture.Received().back(), sim::Command::EndRun);
}

}  // namespace kv218::testing

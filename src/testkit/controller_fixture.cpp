#include "testkit/controller_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "ground/utf8_path.h"
#include "sim/fault_set.h"

namespace kv218::testing {
namespace {

sim::DeviceOptions WithFaults(const std::vector<std::string>& texts) {
  std::string error;
  sim::DeviceOptions options;
  options.faults = *sim::FaultSet::Parse(texts, error);
  return options;
}

}  // namespace

ControllerFixture::ControllerFixture(const std::vector<std::string>& faults)
    : settingsPath(Utf8FromPath(dir.path() / "kv218tool.INI")),
      recordPath(Utf8FromPath(dir.path() / "runs.jsonl")),
      model(WithFaults(faults)),
      controller(window, loop, settingsPath, [this] { return MakePort(); }) {
  model.SetFrameObserver([this](const sim::Frame& frame) {
    received.push_back(frame.command);
    if (onFrame) onFrame(frame);
  });
  controller.SetSleeper([this](std::chrono::milliseconds pause) { loop.Sleep(pause); });
  controller.SetClock([this] { return kEpoch + loop.Now() + clockStep; });
  controller.SetSteadyClock([this] { return SteadyTime(loop.Now()); });
}

ControllerFixture::~ControllerFixture() { loop.Shutdown(); }

std::unique_ptr<PortChannel> ControllerFixture::MakePort() {
  auto simulated = std::make_unique<sim::InProcessPort>(model, loop);
  simulated->SetOpenFails(openFails);
  simulated->SetReceiver(
      [this](const std::uint8_t* data, std::size_t count) { controller.OnBurst(data, count); });
  lastSimPort = simulated.get();
  auto port = std::make_unique<test::WatchedPort>(watch, std::move(simulated));
  lastPort = port.get();
  ++portsMade;
  return port;
}

void ControllerFixture::OpenRecording() {
  controller.Open();
  controller.SetRecordFile(recordPath);
}

void ControllerFixture::LoadThroughButton(int type, const std::string& path) {
  window.targetType = type;
  window.fileChoices.push_back(path);
  controller.LoadFile();
}

RunOutcome ControllerFixture::Press(RunOutcome (Controller::*button)(), int type,
                                    const std::string& file) {
  window.targetType = type;
  controller.SetHexFile(file);
  return (controller.*button)();
}

std::string ControllerFixture::ReadSettingsText() const {
  std::ifstream in(PathFromUtf8(settingsPath));
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ControllerFixture::RecordLines() const {
  std::ifstream in(PathFromUtf8(recordPath));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::size_t ControllerFixture::Count(sim::Command command) const {
  return static_cast<std::size_t>(std::count(received.begin(), received.end(), command));
}

}  // namespace kv218::testing

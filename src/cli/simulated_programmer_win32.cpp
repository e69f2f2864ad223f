#include <memory>
#include <string>
#include <utility>

#include "cli/simulated_programmer.h"
#include "sim/device_model.h"
#include "sim/in_process_port.h"

namespace kv218::cli {

// The device model behind the in-process port: Send feeds it at once on the host's window
// thread, and its answers come back as messages on that thread. Unpaced whatever the line.
struct SimulatedProgrammer::Native {
  std::unique_ptr<sim::DeviceModel> model;
  sim::InProcessPort* port = nullptr;  // the controller's latest port
  std::string path;
};

SimulatedProgrammer::SimulatedProgrammer(int number) : native_(std::make_unique<Native>()) {
  native_->path = number > 0 ? "sim" + std::to_string(number) : "simulated";
}

SimulatedProgrammer::~SimulatedProgrammer() = default;

bool SimulatedProgrammer::Start(const sim::LineOptions&, sim::FaultSet faults, std::string&) {
  sim::DeviceOptions device;
  device.faults = std::move(faults);
  native_->model = std::make_unique<sim::DeviceModel>(std::move(device));
  return true;
}

void SimulatedProgrammer::Stop() {}

bool SimulatedProgrammer::Started() const { return native_->model != nullptr; }

const std::string& SimulatedProgrammer::PortPath() const {
  static const std::string none;
  return native_->model ? native_->path : none;
}

std::unique_ptr<PortChannel> SimulatedProgrammer::MakePort(MessageLoop& loop, Receiver receiver) {
  auto port = std::make_unique<sim::InProcessPort>(*native_->model, loop);
  port->SetReceiver(std::move(receiver));
  native_->port = port.get();
  return port;
}

void SimulatedProgrammer::RequestStandaloneRun() {
  if (!native_->model) return;
  native_->model->StartStandaloneRun();
  if (native_->port != nullptr) native_->port->PostDeviceOutput();
}

}  // namespace kv218::cli

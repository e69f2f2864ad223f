#include <memory>
#include <utility>

#include "cli/simulated_programmer.h"
#include "port/system_port.h"
#include "sim/device_model.h"
#include "sim/pty_server.h"

namespace kv218::cli {

// A pseudo-terminal served by its own thread: the host opens it as a serial port.
struct SimulatedProgrammer::Native {
  std::unique_ptr<sim::DeviceModel> model;
  std::unique_ptr<sim::PtyServer> server;
};

SimulatedProgrammer::SimulatedProgrammer(int) : native_(std::make_unique<Native>()) {}

SimulatedProgrammer::~SimulatedProgrammer() { Stop(); }

bool SimulatedProgrammer::Start(const sim::LineOptions& line, sim::FaultSet faults,
                                std::string& error) {
  sim::DeviceOptions device;
  device.faults = std::move(faults);
  native_->model = std::make_unique<sim::DeviceModel>(std::move(device));
  native_->server = std::make_unique<sim::PtyServer>(*native_->model, line);
  if (native_->server->Start(error)) return true;
  native_->server.reset();
  return false;
}

void SimulatedProgrammer::Stop() {
  if (native_->server) native_->server->Stop();
}

bool SimulatedProgrammer::Started() const { return native_->server != nullptr; }

const std::string& SimulatedProgrammer::PortPath() const {
  static const std::string none;
  return native_->server ? native_->server->SlavePath() : none;
}

std::unique_ptr<PortChannel> SimulatedProgrammer::MakePort(MessageLoop&, Receiver) {
  return MakeSystemPort();
}

void SimulatedProgrammer::RequestStandaloneRun() {
  if (native_->server) native_->server->RequestStandaloneRun();
}

}  // namespace kv218::cli

#pragma once
// The simulated programmers that --simulate starts in-process, each on a pseudo-terminal of
// its own, and the options that shape them: --sim-baud for the line, --fault for what they
// do wrong. A fault may name one programmer by its number ("2:corrupt-readback"); one without
// a number applies to all.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/device_model.h"
#include "sim/fault_set.h"
#include "sim/pty_server.h"

namespace kv218::cli {

// The line of --sim-baud N|max; nothing, with error set, when it is neither.
std::optional<sim::LineOptions> SimulatedLine(const std::string& simBaud, std::string& error);

// The faults of programmer number (1..count) from every --fault given; nothing, with error
// set, for a bad fault or a number that names no programmer.
std::optional<sim::FaultSet> FaultsOf(const std::vector<std::string>& texts, int number, int count,
                                      std::string& error);

class SimulatedProgrammer {
 public:
  SimulatedProgrammer() = default;
  ~SimulatedProgrammer();
  SimulatedProgrammer(const SimulatedProgrammer&) = delete;
  SimulatedProgrammer& operator=(const SimulatedProgrammer&) = delete;

  // Starts serving on a fresh pseudo-terminal; false with error set when it cannot.
  bool Start(const sim::LineOptions& line, sim::FaultSet faults, std::string& error);
  void Stop();
  // The pseudo-terminal's path, for the host to open.
  const std::string& PortPath() const;
  sim::PtyServer* server() { return server_.get(); }

 private:
  std::unique_ptr<sim::DeviceModel> model_;
  std::unique_ptr<sim::PtyServer> server_;
};

}  // namespace kv218::cli

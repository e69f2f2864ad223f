#pragma once
// The simulated programmers that --simulate starts in-process, and the options that shape
// them: --sim-baud for the line, --fault for what they do wrong. A fault may name one
// programmer by its number ("2:corrupt-readback"); one without a number applies to all.
// One source per platform: on Linux each serves a pseudo-terminal of its own that the host
// opens like any serial port, paced at the line rate (simulated_programmer_posix.cpp);
// Windows has no pseudo-terminals, so there the host's port is the in-process port, which
// answers at once: the line rate is not emulated (simulated_programmer_win32.cpp).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ground/message_loop.h"
#include "port/port_channel.h"
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
  using Receiver = std::function<void(const std::uint8_t* data, std::size_t count)>;

  // number tells several apart (1..N; 0 for the only one) where the programmer has no path
  // of its own: the in-process one is "simulated", or "sim1".."simN".
  explicit SimulatedProgrammer(int number = 0);
  ~SimulatedProgrammer();
  SimulatedProgrammer(const SimulatedProgrammer&) = delete;
  SimulatedProgrammer& operator=(const SimulatedProgrammer&) = delete;

  // Starts the programmer; false with error set when it cannot.
  bool Start(const sim::LineOptions& line, sim::FaultSet faults, std::string& error);
  void Stop();
  bool Started() const;
  // The path the host opens.
  const std::string& PortPath() const;
  // A port for the host's controller, whose window thread runs loop and hands each burst to
  // receiver: the system's serial port where the programmer serves a pseudo-terminal.
  std::unique_ptr<PortChannel> MakePort(MessageLoop& loop, Receiver receiver);
  // Has the programmer make one stand-alone run on its own; called on the host's window thread.
  void RequestStandaloneRun();

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

}  // namespace kv218::cli

#include "cli/cmd_ports.h"

#include <iostream>

#include "cli/cli_common.h"
#include "ground/shown_text.h"
#include "port/port_list.h"

namespace kv218::cli {

void AddPortsCommand(CLI::App& app, int& exitCode) {
  CLI::App* command = app.add_subcommand("ports", "List the serial devices on this machine");
  command->callback([&exitCode] {
    const auto devices = ListSerialDevices();
    for (const SerialDeviceInfo& device : devices) {
      const std::string description = DescribeSerialDevice(device);
      // Names and the adapter's own strings come from outside: shown, never sent on raw.
      std::cout << ShownText(device.path) << '\t'
                << (device.stableName.empty() ? "-" : ShownText(device.stableName)) << '\t'
                << (description.empty() ? "-" : ShownText(description)) << '\n';
    }
    if (devices.empty()) std::cerr << "No serial devices found.\n";
    exitCode = kExitOk;
    // The list is all this command gives: one that did not get out is a failure.
    if (!std::cout.flush()) {
      std::cerr << "kv218: standard output failed; the list was not written\n";
      exitCode = kExitFailure;
    }
  });
}

}  // namespace kv218::cli

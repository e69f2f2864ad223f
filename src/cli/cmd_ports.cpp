#include "cli/cmd_ports.h"

#include <iostream>

#include "cli/cli_common.h"
#include "port/port_list.h"

namespace kv218::cli {

void AddPortsCommand(CLI::App& app, int& exitCode) {
  CLI::App* command = app.add_subcommand("ports", "List the serial devices on this machine");
  command->callback([&exitCode] {
    const auto devices = ListSerialDevices();
    for (const SerialDeviceInfo& device : devices) {
      const std::string description = DescribeSerialDevice(device);
      std::cout << device.path << '\t' << (device.stableName.empty() ? "-" : device.stableName)
                << '\t' << (description.empty() ? "-" : description) << '\n';
    }
    if (devices.empty()) std::cerr << "No serial devices found.\n";
    exitCode = kExitOk;
  });
}

}  // namespace kv218::cli

#pragma once
// program and store on several ports at once: one controller per port, each with its own
// station, port, receive thread and message loop on a thread of its own, all in one process.
// The file is read once and its image shared. Log lines carry their port's prefix; progress
// shows one row per port; a summary closes the run. Ctrl-C ends every run (each programmer
// is told). The controllers know nothing of each other.

#include <string>
#include <vector>

#include "app/controller.h"
#include "cli/cli_common.h"
#include "cli/session.h"

namespace kv218::cli {

// The label of a port in the log's prefix: "ttyUSB0" for /dev/ttyUSB0, "COM5" for \\.\COM5.
std::string PortLabel(const std::string& path);

// Runs operation (ProgramTarget or StoreInProgrammer) on every port of options (several
// --port, or --simulate N); the most serious of the ports' exit statuses (see MoreSerious), or
// a usage error's before any port opened.
int RunOnSeveralPorts(const CommonOptions& common, const SessionOptions& options,
                      const std::string& file, RunOutcome (Controller::*operation)());

}  // namespace kv218::cli

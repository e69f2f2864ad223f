// The command line's words for a port that did not open, for every reason a port gives.
#include "cli/port_error_text.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace kv218::cli {
namespace {

TEST(PortOpenErrorText, SaysWhyAndWhatToDo) {
  const struct {
    const char* path;
    const char* device;
    OpenFailure failure;
    const char* group;
    const char* text;
  } cases[] = {
      {"/dev/ttyUSB0", "/dev/ttyUSB0", {}, "", "Cannot open port /dev/ttyUSB0"},
      {"\\\\.\\COM3",
       "/dev/ttyS2",
       {OpenError::NoSuchDevice, ENOENT},
       "",
       "Cannot open port \\\\.\\COM3 (/dev/ttyS2): no such device"},
      {"/dev/ttyUSB0",
       "/dev/ttyUSB0",
       {OpenError::PermissionDenied, EACCES},
       "dialout",
       "Cannot open port /dev/ttyUSB0: permission denied; the user must be in the group "
       "'dialout' that owns it (log in again after joining)"},
      {"/dev/ttyUSB0",
       "/dev/ttyUSB0",
       {OpenError::PermissionDenied, EACCES},
       "",
       "Cannot open port /dev/ttyUSB0: permission denied; the user must be in the group that "
       "owns it"},
      {"/dev/ttyUSB0",
       "/dev/ttyUSB0",
       {OpenError::Busy, EBUSY},
       "",
       "Cannot open port /dev/ttyUSB0: busy: used by another program"},
      {"big.txt",
       "big.txt",
       {OpenError::NotASerialDevice, ENOTTY},
       "",
       "Cannot open port big.txt: not a serial device"},
      {"/dev/ttyUSB0",
       "/dev/ttyUSB0",
       {OpenError::Other, EIO},
       "",
       "Cannot open port /dev/ttyUSB0: Input/output error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PortOpenErrorText(c.path, c.device, c.failure, c.group), c.text);
  }
}

}  // namespace
}  // namespace kv218::cli

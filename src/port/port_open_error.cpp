#include "port/port_open_error.h"

#include <system_error>

#include "ground/shown_text.h"
#include "port/system_port.h"

namespace kv218 {

namespace {

std::string Reason(const OpenFailure& failure, const std::string& group) {
  switch (failure.reason) {
    case OpenError::None:
      return {};
    case OpenError::NoSuchDevice:
      return "no such device";
    case OpenError::PermissionDenied:
      if (group.empty()) return "permission denied; the user must be in the group that owns it";
      return "permission denied; the user must be in the group '" + group +
             "' that owns it (log in again after joining)";
    case OpenError::Busy:
      return "busy: used by another program";
    case OpenError::NotASerialDevice:
      return "not a serial device";
    case OpenError::Other:
      break;
  }
  if (failure.systemError == 0) return "the system refused it";
  return std::error_code(failure.systemError, std::generic_category()).message();
}

}  // namespace

std::string PortOpenErrorText(const std::string& path, const std::string& device,
                              const OpenFailure& failure, const std::string& group) {
  // The path comes from the command line or the settings file: shown, never sent on raw.
  std::string text = "Cannot open port " + ShownText(path);
  if (device != path) text += " (" + ShownText(device) + ")";
  const std::string reason = Reason(failure, group);
  if (!reason.empty()) text += ": " + reason;
  return text;
}

std::string SystemPortOpenErrorText(const std::string& path, const OpenFailure& failure) {
  const std::string group =
      failure.reason == OpenError::PermissionDenied ? SystemDeviceGroup(path) : std::string();
  return PortOpenErrorText(path, SystemDevicePath(path), failure, group);
}

}  // namespace kv218

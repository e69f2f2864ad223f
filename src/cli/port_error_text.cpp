#include "cli/port_error_text.h"

#include "ground/shown_text.h"

namespace kv218::cli {

std::string PortLostText(const std::string& path) {
  return "kv218: port " + ShownText(path) + " lost; waiting for it to come back";
}

std::string PortBackText(const std::string& path) {
  return "kv218: port " + ShownText(path) + " is back";
}

}  // namespace kv218::cli

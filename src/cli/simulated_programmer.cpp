#include "cli/simulated_programmer.h"

#include <charconv>
#include <cstddef>
#include <utility>

namespace kv218::cli {

std::optional<sim::LineOptions> SimulatedLine(const std::string& simBaud, std::string& error) {
  sim::LineOptions line;
  if (simBaud == "max") {
    line.unpaced = true;
    return line;
  }
  const char* first = simBaud.data();
  const char* last = first + simBaud.size();
  const auto parsed = std::from_chars(first, last, line.baud);
  if (parsed.ec != std::errc() || parsed.ptr != last || line.baud == 0) {
    error = "--sim-baud: '" + simBaud + "' is neither a baud rate nor max";
    return std::nullopt;
  }
  return line;
}

std::optional<sim::FaultSet> FaultsOf(const std::vector<std::string>& texts, int number, int count,
                                      std::string& error) {
  std::vector<std::string> mine;
  for (const std::string& text : texts) {
    // Fault names start with a letter, so leading digits and a colon can only be a number.
    const std::size_t colon = text.find(':');
    int named = 0;
    const char* first = text.data();
    const char* end = first + (colon == std::string::npos ? 0 : colon);
    const auto parsed = std::from_chars(first, end, named);
    if (colon == std::string::npos || colon == 0 || parsed.ptr != end || parsed.ec != std::errc()) {
      mine.push_back(text);
      continue;
    }
    if (named < 1 || named > count) {
      error = "'" + text + "' names simulated programmer " + text.substr(0, colon) +
              ", but there " + (count == 1 ? "is 1" : "are " + std::to_string(count));
      return std::nullopt;
    }
    if (named == number) {
      mine.push_back(text.substr(colon + 1));
    } else if (sim::FaultSet others; !others.Add(text.substr(colon + 1), error)) {
      return std::nullopt;  // a bad fault is refused whichever programmer it names
    }
  }
  return sim::FaultSet::Parse(mine, error);
}

}  // namespace kv218::cli

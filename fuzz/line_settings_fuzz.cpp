// The line-settings parser on arbitrary text. A text it refuses leaves the settings exactly as
// they were; one it takes gives settings a port can use, and the settings it gave, written in
// the key=value form, read back to themselves.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "port/line_settings.h"

namespace {

using kv218::LineSettings;
using kv218::Parity;
using kv218::StopBits;

std::string KeyValueText(const LineSettings& s) {
  static constexpr const char* kParity[] = {"n", "e", "o", "m", "s"};
  static constexpr const char* kStop[] = {"1", "1.5", "2"};
  return "baud=" + std::to_string(s.baud) + " parity=" + kParity[static_cast<int>(s.parity)] +
         " data=" + std::to_string(s.dataBits) + " stop=" + kStop[static_cast<int>(s.stopBits)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const LineSettings start{19200, Parity::Odd, 7, StopBits::Two};
  LineSettings settings = start;
  if (!kv218::ApplySettingsText(text, settings)) {
    if (!(settings == start)) std::abort();
    return 0;
  }
  if (settings.baud == 0 || settings.dataBits < 5 || settings.dataBits > 8) std::abort();
  LineSettings again = start;
  if (!kv218::ApplySettingsText(KeyValueText(settings), again) || !(again == settings)) {
    std::abort();
  }
  return 0;
}

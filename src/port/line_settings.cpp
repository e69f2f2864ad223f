#include "port/line_settings.h"

#include <array>
#include <optional>

namespace kv218 {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A decimal number of at most nine digits (no sign, no blanks), so it always fits.
std::optional<std::uint32_t> ParseNumber(std::string_view s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

std::optional<std::uint32_t> ParseBaud(std::string_view s) {
  auto baud = ParseNumber(s);
  if (!baud || *baud == 0) return std::nullopt;
  return baud;
}

// The short rates of the old mode syntax ("96" is 9600 baud); any other number is the rate.
std::uint32_t ExpandShortBaud(std::uint32_t baud) {
  switch (baud) {
    case 11:
      return 110;
    case 15:
      return 150;
    case 30:
      return 300;
    case 60:
      return 600;
    case 12:
      return 1200;
    case 24:
      return 2400;
    case 48:
      return 4800;
    case 96:
      return 9600;
    case 19:
      return 19200;
    default:
      return baud;
  }
}

std::optional<Parity> ParseParity(std::string_view s) {
  if (s.size() != 1) return std::nullopt;
  switch (Lower(s[0])) {
    case 'n':
      return Parity::None;
    case 'e':
      return Parity::Even;
    case 'o':
      return Parity::Odd;
    case 'm':
      return Parity::Mark;
    case 's':
      return Parity::Space;
    default:
      return std::nullopt;
  }
}

std::optional<int> ParseDataBits(std::string_view s) {
  auto bits = ParseNumber(s);
  if (!bits || *bits < 5 || *bits > 8) return std::nullopt;
  return static_cast<int>(*bits);
}

std::optional<StopBits> ParseStopBits(std::string_view s) {
  if (s == "1") return StopBits::One;
  if (s == "1.5") return StopBits::OnePointFive;
  if (s == "2") return StopBits::Two;
  return std::nullopt;
}

bool IsOnOff(std::string_view s) { return EqualsNoCase(s, "on") || EqualsNoCase(s, "off"); }

// Skips an optional device prefix such as "COM1:" and the blanks after it.
std::string_view SkipDevicePrefix(std::string_view text) {
  std::string_view s = Trim(text);
  if (s.size() < 4 || !EqualsNoCase(s.substr(0, 3), "com")) return s;
  std::size_t i = 3;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i == 3 || i >= s.size() || s[i] != ':') return s;
  return Trim(s.substr(i + 1));
}

// "baud,parity,data,stop" with an optional fifth field 'x' (XON/XOFF) or 'p' (hardware).
bool ApplyOldForm(std::string_view s, LineSettings& out) {
  std::array<std::string_view, 5> fields{};
  std::size_t count = 0;
  while (true) {
    if (count == fields.size()) return false;
    std::size_t comma = s.find(',');
    fields[count++] = Trim(s.substr(0, comma));
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  if (count < 4) return false;
  auto baud = ParseBaud(fields[0]);
  auto parity = ParseParity(fields[1]);
  auto data = ParseDataBits(fields[2]);
  auto stop = ParseStopBits(fields[3]);
  if (!baud || !parity || !data || !stop) return false;
  if (count == 5 && !EqualsNoCase(fields[4], "x") && !EqualsNoCase(fields[4], "p")) return false;
  out.baud = ExpandShortBaud(*baud);
  out.parity = *parity;
  out.dataBits = *data;
  out.stopBits = *stop;
  return true;
}

// Blank-separated key=value pairs. A rate of 110 without a stop key gets two stop bits, as
// the mode command has it.
bool ApplyNewForm(std::string_view s, LineSettings& out) {
  bool sawBaud = false;
  bool sawStop = false;
  bool sawAny = false;
  while (true) {
    s = Trim(s);
    if (s.empty()) break;
    std::size_t end = 0;
    while (end < s.size() && !IsBlank(s[end])) ++end;
    std::string_view token = s.substr(0, end);
    s.remove_prefix(end);

    std::size_t eq = token.find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view key = token.substr(0, eq);
    std::string_view value = token.substr(eq + 1);
    sawAny = true;
    if (EqualsNoCase(key, "baud")) {
      auto baud = ParseBaud(value);
      if (!baud) return false;
      out.baud = *baud;
      sawBaud = true;
    } else if (EqualsNoCase(key, "parity")) {
      auto parity = ParseParity(value);
      if (!parity) return false;
      out.parity = *parity;
    } else if (EqualsNoCase(key, "data")) {
      auto data = ParseDataBits(value);
      if (!data) return false;
      out.dataBits = *data;
    } else if (EqualsNoCase(key, "stop")) {
      auto stop = ParseStopBits(value);
      if (!stop) return false;
      out.stopBits = *stop;
      sawStop = true;
    } else if (EqualsNoCase(key, "to") || EqualsNoCase(key, "xon") || EqualsNoCase(key, "odsr") ||
               EqualsNoCase(key, "octs") || EqualsNoCase(key, "idsr")) {
      if (!IsOnOff(value)) return false;
    } else if (EqualsNoCase(key, "dtr")) {
      if (!IsOnOff(value) && !EqualsNoCase(value, "hs")) return false;
    } else if (EqualsNoCase(key, "rts")) {
      if (!IsOnOff(value) && !EqualsNoCase(value, "hs") && !EqualsNoCase(value, "tg")) {
        return false;
      }
    } else {
      return false;
    }
  }
  if (sawBaud && !sawStop && out.baud == 110) out.stopBits = StopBits::Two;
  return sawAny;
}

}  // namespace

bool ApplySettingsText(std::string_view text, LineSettings& settings) {
  std::string_view s = SkipDevicePrefix(text);
  if (s.empty()) return false;
  // Parse into a copy and commit only a text read to its end.
  LineSettings result = settings;
  bool ok =
      s.find('=') != std::string_view::npos ? ApplyNewForm(s, result) : ApplyOldForm(s, result);
  if (ok) settings = result;
  return ok;
}

std::chrono::milliseconds LineTime(std::size_t count, std::uint32_t baud, int bitsPerByte) {
  const std::uint64_t bits = std::uint64_t{count} * static_cast<std::uint64_t>(bitsPerByte);
  return std::chrono::milliseconds((bits * 1000 + baud - 1) / baud);
}

}  // namespace kv218

#pragma once
// The line-settings text read the way the Windows settings parser (BuildCommDCB) reads it,
// in either of its two forms:
//   "115200,E,8,1"                          baud,parity,data,stop[,x|p]
//   "baud=115200 parity=E data=8 stop=1"    key=value pairs, any order, any subset
// An optional device prefix ("COM1:") is skipped. Pure: it knows no platform, so the POSIX
// port and a Win32 port can share it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kv218 {

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OnePointFive, Two };

struct LineSettings {
  std::uint32_t baud = 9600;
  Parity parity = Parity::None;
  int dataBits = 8;  // 5..8
  StopBits stopBits = StopBits::One;

  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Applies text to settings. A text it cannot read leaves settings exactly as they were and
// returns false; fields the text does not name keep their values. Flow-control words
// ("x", "p", xon=, octs=, dtr=, ...) are read but carry no setting: the port always runs
// without flow control.
bool ApplySettingsText(std::string_view text, LineSettings& settings);

// Beyond the line time of the queued bytes, what a drain allows for the port's writer and the
// driver to get going.
inline constexpr std::chrono::milliseconds kDrainMargin{100};

// How long count bytes take on a line of baud bits per second with bitsPerByte bits per
// character (start, data, parity and stop bits), rounded up to whole milliseconds.
std::chrono::milliseconds LineTime(std::size_t count, std::uint32_t baud, int bitsPerByte);

}  // namespace kv218

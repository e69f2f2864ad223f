#pragma once
// LineSettings on a POSIX terminal: the frame format and rate in termios, and the raw,
// binary line without flow control that the programmer needs. One and a half stop bits do
// not exist in termios; they become two.

#include <termios.h>

#include <cstdint>
#include <optional>

#include "port/line_settings.h"

namespace kv218 {

// The termios code of a standard rate (B9600 for 9600), nothing for any other rate.
std::optional<speed_t> SpeedCode(std::uint32_t baud);
// The rate of a standard termios code, 0 for any other code.
std::uint32_t BaudOfSpeedCode(speed_t code);

// Parity, data bits and stop bits as t describes them (the rate is left alone).
void ReadFrameFormat(const termios& t, LineSettings& settings);
// Writes the frame format of settings into t and makes the line raw: binary, no echo or line
// editing, no CR/LF translation, no XON/XOFF, no RTS/CTS, modem lines ignored, no parity
// checking of received bytes, reads return what has arrived (VMIN 1, VTIME 0). The rate is
// left alone.
void MakeRawLine(const LineSettings& settings, termios& t);

// The settings the terminal fd runs with now; false when fd is no terminal.
bool ReadLineSettings(int fd, LineSettings& settings);
// Applies settings to the terminal fd in raw mode (MakeRawLine), the rate included: standard
// rates through termios, others through the kernel's arbitrary-rate call. False when the
// terminal refused something.
bool ApplyLineSettings(int fd, const LineSettings& settings);

// Arbitrary rates (termios2/BOTHER). Kept apart because the kernel header it needs clashes
// with <termios.h>.
bool SetCustomBaud(int fd, std::uint32_t baud);
// The output rate of fd as the kernel holds it, also for non-standard rates; 0 when unknown.
std::uint32_t CurrentCustomBaud(int fd);

}  // namespace kv218

#include "port/termios_line.h"

#include <array>
#include <utility>

namespace kv218 {
namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 30> kSpeeds{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

}  // namespace

std::optional<speed_t> SpeedCode(std::uint32_t baud) {
  for (const auto& [rate, code] : kSpeeds) {
    if (rate == baud) return code;
  }
  return std::nullopt;
}

std::uint32_t BaudOfSpeedCode(speed_t code) {
  for (const auto& [rate, c] : kSpeeds) {
    if (c == code) return rate;
  }
  return 0;
}

void ReadFrameFormat(const termios& t, LineSettings& settings) {
  if ((t.c_cflag & PARENB) == 0) {
    settings.parity = Parity::None;
  } else if ((t.c_cflag & CMSPAR) != 0) {
    settings.parity = (t.c_cflag & PARODD) != 0 ? Parity::Mark : Parity::Space;
  } else {
    settings.parity = (t.c_cflag & PARODD) != 0 ? Parity::Odd : Parity::Even;
  }
  switch (t.c_cflag & CSIZE) {
    case CS5:
      settings.dataBits = 5;
      break;
    case CS6:
      settings.dataBits = 6;
      break;
    case CS7:
      settings.dataBits = 7;
      break;
    default:
      settings.dataBits = 8;
      break;
  }
  settings.stopBits = (t.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
}

void MakeRawLine(const LineSettings& settings, termios& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR |
                                      IGNCR | ICRNL | IUCLC | IXON | IXOFF | IXANY | IMAXBEL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);

  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CREAD | CLOCAL;
  switch (settings.dataBits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    default:
      t.c_cflag |= CS8;
      break;
  }
  switch (settings.parity) {
    case Parity::None:
      break;
    case Parity::Even:
      t.c_cflag |= PARENB;
      break;
    case Parity::Odd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case Parity::Mark:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case Parity::Space:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
  if (settings.stopBits != StopBits::One) t.c_cflag |= CSTOPB;  // 1.5 runs as 2

  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

bool ReadLineSettings(int fd, LineSettings& settings) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  std::uint32_t baud = BaudOfSpeedCode(cfgetospeed(&t));
  if (baud == 0) baud = CurrentCustomBaud(fd);
  if (baud != 0) settings.baud = baud;
  ReadFrameFormat(t, settings);
  return true;
}

bool ApplyLineSettings(int fd, const LineSettings& settings) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  MakeRawLine(settings, t);
  std::optional<speed_t> code = SpeedCode(settings.baud);
  if (code) {
    cfsetispeed(&t, *code);
    cfsetospeed(&t, *code);
  }
  if (tcsetattr(fd, TCSANOW, &t) != 0) return false;
  return code ? true : SetCustomBaud(fd, settings.baud);
}

}  // namespace kv218

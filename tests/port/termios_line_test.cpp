#include "port/termios_line.h"

#include <gtest/gtest.h>

namespace kv218 {
namespace {

// A terminal as a shell leaves it: line editing, echo, CR/LF translation, both flow controls.
termios CookedTerminal() {
  termios t{};
  t.c_iflag = ICRNL | IXON | IXOFF | IXANY | BRKINT | INPCK | ISTRIP | IMAXBEL;
  t.c_oflag = OPOST | ONLCR;
  t.c_lflag = ICANON | ECHO | ECHOE | ECHOK | ISIG | IEXTEN;
  t.c_cflag = CS8 | CRTSCTS | HUPCL;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 5;
  return t;
}

struct FormatCase {
  LineSettings settings;
  tcflag_t parityBits;  // PARENB, PARODD, CMSPAR as they must be set
  tcflag_t size;
  bool twoStopBits;
  StopBits readBack;  // 1.5 has no termios form and reads back as 2
};

class FrameFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FrameFormat, RawLineCarriesFrameFormatAndNoFlowControl) {
  const FormatCase& c = GetParam();
  termios t = CookedTerminal();
  MakeRawLine(c.settings, t);

  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityBits);
  EXPECT_EQ(t.c_cflag & CSIZE, c.size);
  EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStopBits);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), CREAD | CLOCAL);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INPCK | ISTRIP | BRKINT | PARMRK), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_cc[VMIN], 1);
  EXPECT_EQ(t.c_cc[VTIME], 0);

  LineSettings back{};
  ReadFrameFormat(t, back);
  EXPECT_EQ(back.parity, c.settings.parity);
  EXPECT_EQ(back.dataBits, c.settings.dataBits);
  EXPECT_EQ(back.stopBits, c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, FrameFormat,
    ::testing::Values(
        FormatCase{{115200, Parity::Even, 8, StopBits::One}, PARENB, CS8, false, StopBits::One},
        FormatCase{{9600, Parity::None, 8, StopBits::One}, 0, CS8, false, StopBits::One},
        FormatCase{
            {9600, Parity::Odd, 7, StopBits::Two}, PARENB | PARODD, CS7, true, StopBits::Two},
        FormatCase{{9600, Parity::Mark, 6, StopBits::OnePointFive},
                   PARENB | PARODD | CMSPAR,
                   CS6,
                   true,
                   StopBits::Two},
        FormatCase{
            {9600, Parity::Space, 5, StopBits::One}, PARENB | CMSPAR, CS5, false, StopBits::One}));

TEST(SpeedCodes, StandardRatesMapBothWaysOthersDoNot) {
  const struct {
    std::uint32_t baud;
    speed_t code;
  } standard[] = {{110, B110},       {1200, B1200},     {9600, B9600},     {19200, B19200},
                  {115200, B115200}, {230400, B230400}, {921600, B921600}, {4000000, B4000000}};
  for (const auto& s : standard) {
    ASSERT_TRUE(SpeedCode(s.baud).has_value()) << s.baud;
    EXPECT_EQ(*SpeedCode(s.baud), s.code);
    EXPECT_EQ(BaudOfSpeedCode(s.code), s.baud);
  }
  for (std::uint32_t odd : {250000u, 31250u, 100u, 0u}) {
    EXPECT_FALSE(SpeedCode(odd).has_value()) << odd;
  }
  EXPECT_EQ(BaudOfSpeedCode(B0), 0u);
}

}  // namespace
}  // namespace kv218

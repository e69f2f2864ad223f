#include "port/line_settings.h"

#include <gtest/gtest.h>

#include <string>

namespace kv218 {
namespace {

// Not the defaults, so that a text that changes only some fields shows which.
constexpr LineSettings kStart{38400, Parity::Odd, 7, StopBits::Two};

struct TextCase {
  const char* text;
  bool readable;
  LineSettings expected;  // for unreadable texts: kStart, untouched
  LineSettings start = kStart;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class SettingsText : public ::testing::TestWithParam<TextCase> {};

TEST_P(SettingsText, AppliesOrLeavesSettings) {
  const TextCase& c = GetParam();
  LineSettings settings = c.start;
  EXPECT_EQ(ApplySettingsText(c.text, settings), c.readable);
  EXPECT_EQ(settings.baud, c.expected.baud);
  EXPECT_EQ(settings.parity, c.expected.parity);
  EXPECT_EQ(settings.dataBits, c.expected.dataBits);
  EXPECT_EQ(settings.stopBits, c.expected.stopBits);
}

constexpr LineSettings kOne110{9600, Parity::None, 8, StopBits::One};

INSTANTIATE_TEST_SUITE_P(
    CommaForm, SettingsText,
    ::testing::Values(
        TextCase{"115200,E,8,1", true, {115200, Parity::Even, 8, StopBits::One}},
        TextCase{"9600,n,8,1", true, {9600, Parity::None, 8, StopBits::One}},
        TextCase{"19200,O,7,2", true, {19200, Parity::Odd, 7, StopBits::Two}},
        TextCase{"1200,M,6,1.5", true, {1200, Parity::Mark, 6, StopBits::OnePointFive}},
        TextCase{"2400,s,5,1", true, {2400, Parity::Space, 5, StopBits::One}},
        TextCase{"250000,E,8,1", true, {250000, Parity::Even, 8, StopBits::One}},
        // The short rates of the mode command.
        TextCase{"96,N,8,1", true, {9600, Parity::None, 8, StopBits::One}},
        TextCase{"19,E,8,1", true, {19200, Parity::Even, 8, StopBits::One}},
        TextCase{"11,N,8,1", true, {110, Parity::None, 8, StopBits::One}},
        TextCase{"48,N,8,1", true, {4800, Parity::None, 8, StopBits::One}},
        TextCase{"115200 , E , 8 , 1", true, {115200, Parity::Even, 8, StopBits::One}},
        TextCase{"COM1: 115200,E,8,1", true, {115200, Parity::Even, 8, StopBits::One}},
        TextCase{"9600,N,8,1,x", true, {9600, Parity::None, 8, StopBits::One}},
        TextCase{"9600,N,8,1,P", true, {9600, Parity::None, 8, StopBits::One}}));

INSTANTIATE_TEST_SUITE_P(
    KeyForm, SettingsText,
    ::testing::Values(
        TextCase{
            "baud=115200 parity=E data=8 stop=1", true, {115200, Parity::Even, 8, StopBits::One}},
        TextCase{"BAUD=57600 PARITY=m DATA=6 STOP=1.5",
                 true,
                 {57600, Parity::Mark, 6, StopBits::OnePointFive}},
        TextCase{"stop=2 data=5 parity=S baud=300", true, {300, Parity::Space, 5, StopBits::Two}},
        TextCase{"com2:baud=9600", true, {9600, Parity::Odd, 7, StopBits::Two}},
        // Only the named fields change.
        TextCase{"baud=4800", true, {4800, Parity::Odd, 7, StopBits::Two}},
        TextCase{"parity=n", true, {38400, Parity::None, 7, StopBits::Two}},
        TextCase{"data=8", true, {38400, Parity::Odd, 8, StopBits::Two}},
        // 110 baud without a stop key takes two stop bits.
        TextCase{"baud=110", true, {110, Parity::None, 8, StopBits::Two}, kOne110},
        TextCase{"baud=110 stop=1", true, {110, Parity::None, 8, StopBits::One}, kOne110},
        // Flow-control words are read and carry no setting.
        TextCase{"baud=9600 to=off xon=off odsr=off octs=off dtr=off rts=off idsr=off",
                 true,
                 {9600, Parity::Odd, 7, StopBits::Two}},
        TextCase{"baud=9600 dtr=hs rts=tg", true, {9600, Parity::Odd, 7, StopBits::Two}}));

INSTANTIATE_TEST_SUITE_P(
    Unreadable, SettingsText,
    ::testing::Values(
        TextCase{"", false, kStart}, TextCase{"   ", false, kStart},
        TextCase{"garbage", false, kStart}, TextCase{"115200,E,8", false, kStart},
        TextCase{"115200,E,8,1,x,y", false, kStart}, TextCase{"115200,E,8,1,q", false, kStart},
        TextCase{"115200,X,8,1", false, kStart}, TextCase{"115200,EE,8,1", false, kStart},
        TextCase{"115200,E,9,1", false, kStart}, TextCase{"115200,E,4,1", false, kStart},
        TextCase{"115200,E,8,3", false, kStart}, TextCase{"115200,E,8,1.2", false, kStart},
        TextCase{"115200,E,8,", false, kStart}, TextCase{"0,E,8,1", false, kStart},
        TextCase{"-9600,E,8,1", false, kStart}, TextCase{"1234567890,E,8,1", false, kStart},
        TextCase{"fast,E,8,1", false, kStart}, TextCase{"COM1:", false, kStart},
        TextCase{"baud=", false, kStart}, TextCase{"baud=fast", false, kStart},
        TextCase{"baud=9600 junk", false, kStart}, TextCase{"baud=9600 speed=1", false, kStart},
        TextCase{"baud=9600 data=9", false, kStart}, TextCase{"baud=9600 stop=0", false, kStart},
        TextCase{"baud=9600 xon=maybe", false, kStart},
        TextCase{"baud=9600 rts=tog", false, kStart},
        // A later bad field keeps the earlier good ones out.
        TextCase{"baud=4800 parity=Q", false, kStart}));

// Every parity, data-bit count and stop-bit count in both forms.
TEST(SettingsTextForms, EveryFrameFormatInBothForms) {
  const struct {
    char letter;
    Parity parity;
  } parities[] = {{'N', Parity::None},
                  {'E', Parity::Even},
                  {'O', Parity::Odd},
                  {'M', Parity::Mark},
                  {'S', Parity::Space}};
  const struct {
    const char* text;
    StopBits stop;
  } stops[] = {{"1", StopBits::One}, {"1.5", StopBits::OnePointFive}, {"2", StopBits::Two}};

  for (const auto& p : parities) {
    for (int data = 5; data <= 8; ++data) {
      for (const auto& s : stops) {
        const std::string d = std::to_string(data);
        const std::string texts[] = {
            "57600," + std::string(1, p.letter) + "," + d + "," + s.text,
            "baud=57600 parity=" + std::string(1, p.letter) + " data=" + d + " stop=" + s.text};
        for (const std::string& text : texts) {
          SCOPED_TRACE(text);
          LineSettings settings = kStart;
          ASSERT_TRUE(ApplySettingsText(text, settings));
          EXPECT_EQ(settings, (LineSettings{57600, p.parity, data, s.stop}));
        }
      }
    }
  }
}

}  // namespace
}  // namespace kv218

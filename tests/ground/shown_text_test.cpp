// Text from outside (a file's name, a line of a file, the programmer's note) as a log line
// shows it: nothing in it can drive a terminal or start a line of its own.

#include <gtest/gtest.h>

#include <string>

#include "ground/shown_text.h"

namespace kv218 {
namespace {

struct ShownCase {
  const char* name;
  std::string text;
  std::string shown;
};

class ShownTextTest : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownTextTest, KeepsPrintableUtf8AndShowsEveryOtherByte) {
  const ShownCase& c = GetParam();
  EXPECT_EQ(ShownText(c.text), c.shown);
  // Shown once, it shows as it is: a line escaped twice reads the same.
  EXPECT_EQ(ShownText(c.shown), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShownTextTest,
    ::testing::Values(ShownCase{"Plain", "/home/op/fw 1.85 (x).hex", "/home/op/fw 1.85 (x).hex"},
                      ShownCase{"Utf8Kept", "/tmp/d\xC3\xA9j\xC3\xA0/\xE2\x82\xAC.hex",
                                "/tmp/d\xC3\xA9j\xC3\xA0/\xE2\x82\xAC.hex"},
                      ShownCase{"TabKept", "a\tb", "a\tb"},
                      // A name that would forge the verdict line of a failed run.
                      ShownCase{"LineBreaks", "c\nPROGRAMMING SUCCEEDED.\n.hex",
                                "c\\x0APROGRAMMING SUCCEEDED.\\x0A.hex"},
                      ShownCase{"CarriageReturn", "a\rb", "a\\x0Db"},
                      ShownCase{"Escapes", "0x\x1B]0;T\x07", "0x\\x1B]0;T\\x07"},
                      ShownCase{"ZeroAndDelete", std::string("a\0b\x7F", 4), "a\\x00b\\x7F"},
                      ShownCase{"EightBitControls",
                                "\xC2\x9B"
                                "2J\x9B",
                                "\\xC2\\x9B2J\\x9B"},
                      ShownCase{"NotUtf8", "caf\xE9 \xFF\xC3", "caf\\xE9 \\xFF\\xC3"},
                      ShownCase{"Overlong", "\xC0\xAF", "\\xC0\\xAF"}),
    [](const ::testing::TestParamInfo<ShownCase>& p) { return std::string(p.param.name); });

TEST(ShownText, TheProgrammersZeroBytesAreDropped) {
  std::string line = "<<NOTE>> ";
  AppendShownText(line, std::string("F\0A\n", 4), ZeroBytes::Dropped);
  EXPECT_EQ(line, "<<NOTE>> FA\\x0A");
}

}  // namespace
}  // namespace kv218

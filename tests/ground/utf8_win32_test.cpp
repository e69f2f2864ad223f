// The UTF-16 of the Win32 "W" calls and back: every code point whole, a stray byte U+FFFD.

#include <gtest/gtest.h>

#include <string>

#include "ground/utf8.h"

namespace kv218 {
namespace {

TEST(WideText, CarriesEveryCodePointBothWays) {
  const std::string utf8 = "a\xC3\xBC\xE8\xA9\xA6\xF0\x9F\x98\x80";  // a, u umlaut, a CJK, an emoji
  const std::wstring wide = L"a\x00FC\x8A66\xD83D\xDE00";
  EXPECT_EQ(WideFromUtf8(utf8), wide);
  EXPECT_EQ(Utf8FromWide(wide), utf8);
  EXPECT_EQ(WideFromUtf8(""), L"");
  EXPECT_EQ(Utf8FromWide(L""), "");
}

TEST(WideText, AByteThatIsNotUtf8BecomesTheReplacementCharacter) {
  EXPECT_EQ(WideFromUtf8("caf\xE9"), L"caf\xFFFD");
}

}  // namespace
}  // namespace kv218

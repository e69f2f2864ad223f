// The one reading of UTF-8 that the record, the programmer's notes, the settings file and the
// Windows calls share: what counts as well-formed.

#include "ground/utf8.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kv218 {
namespace {

struct Utf8Case {
  std::string name;
  std::string text;
  bool valid;
};
void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class Utf8Texts : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Texts, AreWellFormedOrNot) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(IsUtf8(c.text), c.valid);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Texts,
    ::testing::Values(Utf8Case{"Empty", "", true},
                      Utf8Case{"Ascii", std::string("a\0\x7F", 3), true},
                      Utf8Case{"UpToFourBytes",
                               "\xC3\xBC\xE8\xA9\xA6\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", true},
                      Utf8Case{"Latin1", "caf\xE9", false}, Utf8Case{"CutShort", "\xE8\xA9", false},
                      Utf8Case{"Overlong", "\xC0\xAF\xE0\x80\xAF", false},
                      Utf8Case{"Surrogate", "\xED\xA0\x80", false},
                      Utf8Case{"PastTheLastCodePoint", "\xF4\x90\x80\x80", false},
                      Utf8Case{"LoneContinuation", "a\x80z", false}),
    [](const auto& test) { return test.param.name; });

// The settings file keeps an unpaired surrogate in its three-byte form; nothing else passes
// that UTF-8 itself refuses.
TEST(Utf8Sequence, TakesSurrogatesOnlyWhenAskedTo) {
  char32_t code = 0;
  EXPECT_EQ(Utf8Sequence("\xED\xA0\x80", 0, code), 0u);
  EXPECT_EQ(Utf8Sequence("\xED\xA0\x80", 0, code, Surrogates::Kept), 3u);
  EXPECT_EQ(code, U'\xD800');
  EXPECT_EQ(Utf8Sequence("\xC0\xAF", 0, code, Surrogates::Kept), 0u);
  EXPECT_EQ(Utf8Sequence("x\xF0\x9F\x98\x80", 1, code), 4u);
  EXPECT_EQ(code, U'\x1F600');
  std::string written;
  for (const char32_t c : {U'a', U'\xFC', U'\x8A66', U'\xD800', U'\x1F600'}) AppendUtf8(written, c);
  EXPECT_EQ(written, "a\xC3\xBC\xE8\xA9\xA6\xED\xA0\x80\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace kv218

#include "image/hex_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hex_test_support.h"

namespace kv218 {
namespace {

struct ParseCase {
  const char* name;
  std::string line;
  LineKind kind;
  std::string error;  // for LineKind::Error
};

std::string CaseName(const ::testing::TestParamInfo<ParseCase>& param) { return param.param.name; }

class ParseHexLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseHexLineTest, KindAndMessage) {
  const ParseCase& c = GetParam();
  HexRecord record;
  std::string error;
  EXPECT_EQ(ParseHexLine(c.line, record, error), c.kind);
  if (c.kind == LineKind::Error) {
    EXPECT_EQ(error, c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseHexLineTest,
    ::testing::Values(
        ParseCase{"Empty", "", LineKind::NotARecord, ""},
        ParseCase{"Comment", "; boot loader", LineKind::NotARecord, ""},
        ParseCase{"BlankBeforeColon", " :00000001FF", LineKind::NotARecord, ""},
        ParseCase{"EndRecord", ":00000001FF", LineKind::Record, ""},
        ParseCase{"ColonAlone", ":", LineKind::Error, "'0x' is not a valid integer value"},
        ParseCase{"AddressMissing", ":10", LineKind::Error, "'0x' is not a valid integer value"},
        ParseCase{"TypeMissing", ":020000", LineKind::Error, "'0x' is not a valid integer value"},
        ParseCase{"TypeOfOneDigit", ":0000000", LineKind::Record, ""},
        ParseCase{"BadLength", ":G0000000", LineKind::Error, "'0xG0' is not a valid integer value"},
        ParseCase{"BadAddress", ":0012x400", LineKind::Error,
                  "'0x12x4' is not a valid integer value"},
        ParseCase{"BadPair", ":02000000AZBB41", LineKind::Error,
                  "'0xAZ' is not a valid integer value"},
        ParseCase{"OneTrailingBlank", ":00000001FF ", LineKind::Record, ""},
        ParseCase{"TwoTrailingBlanks", ":00000001FF  ", LineKind::Error,
                  "'0x  ' is not a valid integer value"},
        ParseCase{"LengthPromisesMore", ":04000000AABB", LineKind::Error,
                  "'0x' is not a valid integer value"},
        ParseCase{"LengthPromisesMoreHalfPair", ":02000000AAB", LineKind::Error,
                  "'0xB' is not a valid integer value"},
        ParseCase{"ChecksumMissingIsFine", ":02000000AABB", LineKind::Record, ""}),
    CaseName);

TEST(HexRecordTest, FieldsAndBytesInEitherCase) {
  for (const std::string line : {":10010000214601360121470136007EFE09D2190140",
                                 ":10010000214601360121470136007efe09d2190140"}) {
    HexRecord record;
    std::string error;
    ASSERT_EQ(ParseHexLine(line, record, error), LineKind::Record) << error;
    EXPECT_EQ(record.Length, 0x10);
    EXPECT_EQ(record.Address, 0x0100u);
    EXPECT_EQ(record.Type, 0);
    EXPECT_EQ(record.PairCount, 17u);
    EXPECT_EQ(record.Bytes[0], 0x21);
    EXPECT_EQ(record.Bytes[10], 0x7E);
    EXPECT_EQ(record.Bytes[16], 0x40);
    EXPECT_TRUE(record.HasChecksum());
    EXPECT_EQ(ExpectedChecksum(record), 0x40);
    EXPECT_EQ(record.PairText(10), line.substr(29, 2));  // "7E" or "7e"
  }
}

TEST(HexRecordTest, A255ByteRecordIsKeptWhole) {
  std::vector<std::uint8_t> data(255);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  const std::string line = testing::DataLine(0x1234, data);
  HexRecord record;
  std::string error;
  ASSERT_EQ(ParseHexLine(line, record, error), LineKind::Record) << error;
  EXPECT_EQ(record.Length, 255);
  EXPECT_EQ(record.Bytes[254], 254);
  EXPECT_EQ(record.Bytes[255], ExpectedChecksum(record));
}

TEST(HexRecordTest, PairsPastTheBufferAreCheckedButNotKept) {
  std::string line = ":00000001FF" + std::string(600, 'A');
  HexRecord record;
  std::string error;
  EXPECT_EQ(ParseHexLine(line, record, error), LineKind::Record);
  EXPECT_EQ(record.PairCount, 301u);
  line[501] = 'Q';  // the first digit of pair 246
  EXPECT_EQ(ParseHexLine(line, record, error), LineKind::Error);
  EXPECT_EQ(error, "'0xQA' is not a valid integer value");
}

}  // namespace
}  // namespace kv218

#include "image/checksums.h"

#include <gtest/gtest.h>

#include <memory>

#include "image/blank.h"

namespace kv218 {
namespace {

class ChecksumsTest : public ::testing::Test {
 protected:
  std::unique_ptr<MemoryImage> image = std::make_unique<MemoryImage>();
  std::uint8_t* bytes() { return image->ProgramImage.data(); }
};

TEST_F(ChecksumsTest, BlankType0Sums) {
  BlankImage24(*image);
  EXPECT_EQ(ProgramWordSum24(*image), 0x5400);
  EXPECT_EQ(ProgramByteSum24(*image), 0xFE00);
  bytes()[0x557FE] = 0x12;  // the last word of the window: FFFF becomes 12FF
  EXPECT_EQ(ProgramWordSum24(*image), static_cast<std::uint16_t>(0x5400 - 0xFFFF + 0x12FF));
  bytes()[0x55800] = 0x77;  // rows above the window are in no sum
  EXPECT_EQ(ProgramByteSum24(*image), static_cast<std::uint16_t>(0xFE00 - 0xFF + 0x12));
}

TEST_F(ChecksumsTest, WordsAreBigEndian) {
  bytes()[0] = 0x12;
  bytes()[1] = 0x34;
  bytes()[3] = 0x01;
  EXPECT_EQ(ProgramWordSum24(*image), 0x1235);
}

TEST_F(ChecksumsTest, ByteSumsCoverTheirWindowsOnly) {
  image->ProgramImage.fill(1);
  EXPECT_EQ(ProgramByteSum16(*image), 0x7FF8);
  EXPECT_EQ(WindowByteSum1K(*image), 1024);
}

TEST_F(ChecksumsTest, ConfigurationSumsAndMasks) {
  image->ConfigBytes.fill(0xFF);
  EXPECT_EQ(ConfigByteSum(*image), 12 * 0xFF);
  EXPECT_EQ(ConfigByteSum24(*image), 8 * 0xFF);
  EXPECT_EQ(ConfigByteSum16(*image), 5 * 0xFF);
  MaskConfig24(*image);
  EXPECT_EQ(ConfigByteSum(*image), 0x5BC + 4 * 0xFF);
  image->ConfigBytes.fill(0xFF);
  MaskConfig16(*image);
  const std::array<std::uint8_t, 12> masked = {0xE1, 0x04, 0xC7, 0x0F, 0xFF, 0x01,
                                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(image->ConfigBytes, masked);
}

TEST_F(ChecksumsTest, ConfigurationCopyIsSwappedPairwiseBothWays) {
  image->ConfigBytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0, 0, 0, 0, 0x0C};
  CopyConfigToImage16(*image);
  const std::array<std::uint8_t, 6> copy = {0x02, 0x01, 0x04, 0x03, 0x06, 0x05};
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), bytes() + kConfigOffset16));

  image->ConfigBytes.fill(0xAA);
  TakeConfigFromImage16(*image);
  const std::array<std::uint8_t, 12> taken = {0x01 & 0xE1, 0x02 & 0x04, 0x03 & 0xC7, 0x04 & 0x0F,
                                              0x05,        0x06 & 0x01, 0xAA,        0xAA,
                                              0xAA,        0xAA,        0xAA,        0xAA};
  EXPECT_EQ(image->ConfigBytes, taken);
}

// What a byte of 0x21 adds to each read-back sum: program bytes count whole (type-1 targets
// skip rows 1,856..1,983), configuration copies count masked, register 4 not at all.
struct ReadBackCase {
  const char* name;
  std::size_t offset;
  int type1Target, type2Target, flash;
};

class ReadBackSumTest : public ChecksumsTest, public ::testing::WithParamInterface<ReadBackCase> {};

TEST_P(ReadBackSumTest, AddsWhatItsRowsAndRegistersHold) {
  const ReadBackCase& c = GetParam();
  EXPECT_EQ(TargetReadBackSum16(*image, TargetType::MvrxSeries), 443);
  EXPECT_EQ(TargetReadBackSum16(*image, TargetType::CradleSet), 0);
  EXPECT_EQ(FlashReadBackSum16(*image), 0);
  bytes()[c.offset] = 0x21;
  EXPECT_EQ(TargetReadBackSum16(*image, TargetType::MvrxSeries), 443 + c.type1Target);
  EXPECT_EQ(TargetReadBackSum16(*image, TargetType::CradleSet), c.type2Target);
  EXPECT_EQ(FlashReadBackSum16(*image), c.flash);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, ReadBackSumTest,
    ::testing::Values(ReadBackCase{"First", 0x0000, 0x21, 0x21, 0x21},
                      ReadBackCase{"BeforeTheSkippedRows", 0x73FF, 0x21, 0x21, 0x21},
                      ReadBackCase{"FirstSkipped", 0x7400, 0, 0x21, 0x21},
                      ReadBackCase{"LastSkipped", 0x7BFF, 0, 0x21, 0x21},
                      ReadBackCase{"AfterTheSkippedRows", 0x7C00, 0x21, 0x21, 0x21},
                      ReadBackCase{"LastProgramByte", 0x7FF7, 0x21, 0x21, 0x21},
                      ReadBackCase{"Register1MaskedWith04", 0x7FF8, 0, 0, 0},
                      ReadBackCase{"Register0MaskedWithE1", 0x7FF9, 0x21, 0x21, 0x21},
                      ReadBackCase{"Register3MaskedWith0F", 0x7FFA, 0x01, 0x01, 0x01},
                      ReadBackCase{"Register2MaskedWithC7", 0x7FFB, 0x01, 0x01, 0x01},
                      ReadBackCase{"Register5MaskedWith01", 0x7FFC, 0x01, 0x01, 0x01},
                      ReadBackCase{"Register4NotSummed", 0x7FFD, 0, 0, 0},
                      ReadBackCase{"PastTheConfiguration", 0x7FFE, 0, 0, 0}),
    [](const ::testing::TestParamInfo<ReadBackCase>& p) { return std::string(p.param.name); });

TEST_F(ChecksumsTest, ReadBackSumsTakeTheMaskedConfigurationFromTheImage) {
  BlankImage16(*image);
  image->ConfigBytes.fill(0);  // ConfigBytes itself is not read
  const std::uint16_t program = ProgramByteSum16(*image);
  EXPECT_EQ(FlashReadBackSum16(*image), static_cast<std::uint16_t>(program + 0x1BC));
  EXPECT_EQ(TargetReadBackSum16(*image, TargetType::CradleSet),
            static_cast<std::uint16_t>(program + 0x1BC));
  EXPECT_EQ(TargetReadBackSum16(*image, TargetType::MvrxSeries),
            static_cast<std::uint16_t>(program - 128 * 16 * 0xFF + 0x1BC + 443));
}

}  // namespace
}  // namespace kv218

// The example files load cleanly for their types, and the type-1 example verifies on a
// type-1 target.
#include <gtest/gtest.h>

#include <numeric>

#include "image/blank.h"
#include "image/checksums.h"
#include "loader_fixture.h"

namespace kv218 {
namespace {

struct ExampleCase {
  const char* file;
  int targetType;
};

class ExamplesTest : public testing::LoaderTest, public ::testing::WithParamInterface<ExampleCase> {
 protected:
  static std::string PathOf(const char* file) { return std::string(KV218_EXAMPLES_DIR "/") + file; }
};

TEST_P(ExamplesTest, LoadsWithCorrectRecordChecksums) {
  const auto result = LoadText(GetParam().targetType, PathOf(GetParam().file), {.strict = true});
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_TRUE(window.errors.empty());
  EXPECT_EQ(LastLine().rfind("Loading ... OK ", 0), 0u) << LastLine();
  EXPECT_NE(window.panels[4], "N/A");
}

INSTANTIATE_TEST_SUITE_P(Files, ExamplesTest,
                         ::testing::Values(ExampleCase{"tk_series.hex", 0},
                                           ExampleCase{"mvrx_series.hex", 1},
                                           ExampleCase{"cradle_set.hex", 2},
                                           ExampleCase{"eco_mode.hex", 3}),
                         [](const ::testing::TestParamInfo<ExampleCase>& p) {
                           return std::to_string(p.param.targetType);
                         });

using ExampleContentTest = testing::LoaderTest;

TEST_F(ExampleContentTest, Type1BlockSumsTo6795AndVerifiesOnATarget) {
  image->ChecksumBiasFlag = 1;
  ASSERT_TRUE(LoadText(1, std::string(KV218_EXAMPLES_DIR "/mvrx_series.hex")).ok());
  const auto& bytes = image->ProgramImage;
  const unsigned blockSum = std::accumulate(bytes.begin() + 0x7400, bytes.begin() + 0x7C00, 0u);
  EXPECT_EQ(blockSum & 0xFFFF, 0x6795u);
  EXPECT_EQ(TargetReadBackSum16(*image, TargetType::MvrxSeries), image->ImageChecksum);
}

TEST_F(ExampleContentTest, Type0CarriesCodeAboveTheFirstSegmentAndConfiguration) {
  ASSERT_TRUE(LoadText(0, std::string(KV218_EXAMPLES_DIR "/tk_series.hex")).ok());
  EXPECT_GE(image->HighestAddress, 0x8000);
  EXPECT_EQ(image->ConfigBytes[1], 0x4F);  // not the default CF
}

TEST_F(ExampleContentTest, Type3ResetVectorPointsIntoTheWindow) {
  ASSERT_TRUE(LoadText(3, std::string(KV218_EXAMPLES_DIR "/eco_mode.hex")).ok());
  // 0xFFFE holds FC00 little-endian; the pair is stored swapped.
  EXPECT_EQ(image->ProgramImage[0x3FE], 0xFC);
  EXPECT_EQ(image->ProgramImage[0x3FF], 0x00);
}

}  // namespace
}  // namespace kv218

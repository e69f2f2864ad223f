// A load followed by a faithful read-back must verify the way the sequences check it; the
// type-1 target check only passes when the skipped rows sum to 0x6795.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "image/blank.h"
#include "image/checksums.h"
#include "loader_fixture.h"

namespace kv218 {
namespace {

using testing::DataLine;
using testing::kEndLine;
using testing::LoaderTest;

class VerificationTest : public LoaderTest {
 protected:
  // What a programmer that stores faithfully sends back: rows 0..2,047 over a blank image.
  std::unique_ptr<MemoryImage> ReadBack16() const {
    auto back = std::make_unique<MemoryImage>();
    BlankImage16(*back);
    std::copy_n(image->ProgramImage.begin(), kProgramRows16 * kRowBytes,
                back->ProgramImage.begin());
    return back;
  }
  // Records filling rows 1,856..1,983 so that their bytes sum to blockSum: erased bytes,
  // the first of them lowered as far as the sum needs.
  static std::vector<std::string> SkippedRows(std::uint16_t blockSum) {
    std::vector<std::uint8_t> block(0x800, 0xFF);
    unsigned lower = (0x800 * 0xFF - blockSum) & 0xFFFF;
    for (auto& byte : block) {
      const unsigned step = std::min(lower, 0xFFu);
      byte = static_cast<std::uint8_t>(0xFF - step);
      lower -= step;
    }
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < block.size(); pos += 16) {
      lines.push_back(DataLine(static_cast<std::uint16_t>(0x7400 + pos),
                               {block.begin() + static_cast<std::ptrdiff_t>(pos),
                                block.begin() + static_cast<std::ptrdiff_t>(pos + 16)}));
    }
    return lines;
  }
  std::string WriteType16(const std::vector<std::string>& skipped) const {
    std::string text = DataLine(0x0000, {0x12, 0x34, 0x56, 0x78}) + "\n" +
                       DataLine(0x7FF8, {0x33}) + "\n" + DataLine(0x7FFC, {0x5A}) + "\n";
    for (const auto& line : skipped) text += line + "\n";
    return folder.Write("type16.hex", text + kEndLine + "\n");
  }
};

TEST_F(VerificationTest, Type1TargetPassesOnlyWithTheBlockSum) {
  for (std::uint16_t blockSum : {std::uint16_t{0x6795}, std::uint16_t{0x6796}, std::uint16_t{0}}) {
    image->ChecksumBiasFlag = 1;
    ASSERT_TRUE(LoadText(1, WriteType16(SkippedRows(blockSum))).ok());
    const auto back = ReadBack16();
    EXPECT_EQ(TargetReadBackSum16(*back, TargetType::MvrxSeries) == image->ImageChecksum,
              blockSum == 0x6795)
        << Hex(blockSum, 4);
    // The programmer's flash check, loaded without the bias, passes whatever the block holds.
    image->ChecksumBiasFlag = 0;
    ASSERT_TRUE(LoadText(1, WriteType16(SkippedRows(blockSum))).ok());
    EXPECT_EQ(FlashReadBackSum16(*ReadBack16()), image->ImageChecksum);
  }
}

TEST_F(VerificationTest, Type2TargetAndFlashPassForAnyContent) {
  ASSERT_TRUE(LoadText(2, WriteType16(SkippedRows(0x1234))).ok());
  const auto back = ReadBack16();
  EXPECT_EQ(TargetReadBackSum16(*back, TargetType::CradleSet), image->ImageChecksum);
  EXPECT_EQ(FlashReadBackSum16(*back), image->ImageChecksum);
  TakeConfigFromImage16(*back);
  for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(back->ConfigBytes[k], image->ConfigBytes[k]) << k;
}

TEST_F(VerificationTest, Type0ReferenceIsTheWordSum) {
  ASSERT_TRUE(Load(0, {DataLine(0, {1, 2, 3, 0}), testing::LinearLine(0x01F0),
                       DataLine(0, {0xFF, 0, 0, 0}), kEndLine})
                  .ok());
  EXPECT_EQ(ProgramWordSum24(*image), image->ImageChecksum);
  EXPECT_EQ(ConfigByteSum(*image), image->ConfigChecksum);
  EXPECT_EQ(image->ConfigBytes[0], 0xCF);
}

}  // namespace
}  // namespace kv218

#include "image/blank.h"

#include <gtest/gtest.h>

#include <memory>

namespace kv218 {
namespace {

class BlankTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image->ProgramImage.fill(0x5A);
    image->ConfigBytes.fill(0x5A);
  }
  std::uint8_t At(std::size_t row, std::size_t column) const {
    return image->ProgramImage[row * kRowBytes + column];
  }
  std::unique_ptr<MemoryImage> image = std::make_unique<MemoryImage>();
};

TEST_F(BlankTest, Image24WritesErasedWordsAndZeroesTheRowsAbove) {
  BlankImage24(*image);
  for (std::size_t row : {std::size_t{0}, std::size_t{1}, kProgramRows24 - 1}) {
    for (std::size_t column = 0; column < kRowBytes; ++column) {
      EXPECT_EQ(At(row, column), column % 4 == 0 ? 0x00 : 0xFF) << row << "," << column;
    }
  }
  for (std::size_t row = kProgramRows24; row < kImageRows; ++row) {
    for (std::size_t column = 0; column < kRowBytes; ++column) ASSERT_EQ(At(row, column), 0x00);
  }
  EXPECT_EQ(image->ConfigBytes[0], 0x5A);
}

TEST_F(BlankTest, Image16ErasesTheType0WindowOnly) {
  BlankImage16(*image);
  EXPECT_EQ(At(0, 0), 0xFF);
  EXPECT_EQ(At(kProgramRows24 - 1, 15), 0xFF);
  EXPECT_EQ(At(kProgramRows24, 0), 0x5A);
  EXPECT_EQ(At(kImageRows - 1, 15), 0x5A);
}

TEST_F(BlankTest, Image1KErasesTheFirst64RowsOnly) {
  BlankImage1K(*image);
  EXPECT_EQ(At(0, 0), 0xFF);
  EXPECT_EQ(At(63, 15), 0xFF);
  EXPECT_EQ(At(64, 0), 0x5A);
}

TEST_F(BlankTest, ClearConfigBytesZeroesAllTwelveAndNothingElse) {
  ClearConfigBytes(*image);
  for (std::uint8_t reg : image->ConfigBytes) EXPECT_EQ(reg, 0);
  EXPECT_EQ(At(0, 0), 0x5A);
}

}  // namespace
}  // namespace kv218

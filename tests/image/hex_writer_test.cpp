// The HEX text of a read image: its records, one by one. That the loader reads it back to the
// same image is the read sessions' round trip (tests/runs); here, the layout of the text.

#include "image/hex_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/blank.h"

namespace kv218 {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Records(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    EXPECT_TRUE(line.ends_with('\r')) << line;  // CR LF
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

TEST(HexWriter, Type0LeavesErasedRowsOutAndGoesPast64KWithAnExtendedAddress) {
  auto image = std::make_unique<MemoryImage>();
  BlankImage24(*image);
  image->ConfigBytes.fill(0xFF);
  image->ConfigBytes[0] = 0xCF;
  // Word 0 (file address 0) and the word at file address 0x10010 (image offset 0x10010):
  // each group is pad, high, middle, low in the image, low first in the file.
  for (std::size_t at : {std::size_t{0}, std::size_t{0x10010}}) {
    image->ProgramImage[at + 1] = 0x12;
    image->ProgramImage[at + 2] = 0x34;
    image->ProgramImage[at + 3] = 0x56;
  }
  const std::vector<std::string> records = Records(HexTextOf(*image, TargetType::TkSeries));
  ASSERT_EQ(records.size(), 2u + 1u + 1u + 12u + 1u);
  EXPECT_EQ(records[0], ":1000000056341200FFFFFF00FFFFFF00FFFFFF005D");  // 16 bytes, erased words
  EXPECT_EQ(records[1], ":020000040001F9");
  EXPECT_EQ(records[2], ":1000100056341200FFFFFF00FFFFFF00FFFFFF004D");
  EXPECT_EQ(records[3], ":0200000401F009");
  EXPECT_EQ(records[4], ":04000000CF0000002D");   // register 0 at 0x1F00000
  EXPECT_EQ(records[15], ":04002C00FF000000D1");  // register 11 at 0x1F0002C
  EXPECT_EQ(records.back(), ":00000001FF");
}

TEST(HexWriter, Types1And2StopTheProgramAt0x7FF8AndWriteTheRegistersOneByOne) {
  auto image = std::make_unique<MemoryImage>();
  BlankImage16(*image);
  image->ProgramImage[0x7FF0] = 0xAB;  // file address 0x7FF1: pairs are swapped
  const std::uint8_t copy[6] = {0x04, 0xE1, 0x0F, 0xC7, 0x01, 0x5A};  // registers 1,0,3,2,5,4
  for (std::size_t k = 0; k < 6; ++k) image->ProgramImage[0x7FF8 + k] = copy[k];
  const std::vector<std::string> records = Records(HexTextOf(*image, TargetType::CradleSet));
  EXPECT_THAT(records, ElementsAre(":087FF000FFABFFFFFFFFFFFFE5", ":017FF800E1A7", ":017FF9000483",
                                   ":017FFA00C7BF", ":017FFB000F76", ":017FFC005A2A",
                                   ":017FFD000182", ":00000001FF"));
}

TEST(HexWriter, Type3IsItsWindowAt0xFC00AndATypeWithoutALayoutOnlyEnds) {
  auto image = std::make_unique<MemoryImage>();
  BlankImage1K(*image);
  image->ProgramImage[0x3F1] = 0x77;  // file address 0xFFF0
  EXPECT_THAT(Records(HexTextOf(*image, TargetType::EcoMode)),
              ElementsAre(":10FFF00077FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF99", ":00000001FF"));
  EXPECT_THAT(Records(HexTextOf(*image, TargetType::None)), ElementsAre(":00000001FF"));
}

}  // namespace
}  // namespace kv218

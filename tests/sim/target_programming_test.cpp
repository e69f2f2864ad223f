// A whole target programming driven frame by frame, answers checked byte for byte against
// the reply formats, and the read-back checked against what was written.

#include <gtest/gtest.h>

#include "host_side.h"

namespace kv218::sim::test {
namespace {

constexpr std::size_t kBlockTotal = 86;  // HighestAddress 0x2ABFF: 0x2ABFF / 2048 + 1

// The host's read-back of a type-0 target: start, then set-address and data frames by its
// phase rules, then end. Returns the rows it stored.
std::unique_ptr<kv218::MemoryImage> ReadBackType0(Driver& device, std::size_t blockTotal) {
  auto image = std::make_unique<kv218::MemoryImage>();
  EXPECT_EQ(device.Exchange(B({0x1F, 'R', 'D', 'S'})), B({0x1F, 'R', 'D', 'S'}));
  int phase = 1;
  std::size_t blocks = 0;
  std::size_t row = 0;
  int page = 0;
  int offset = 0;
  while (phase != 0) {
    if (phase == 1 || phase == 4) {
      const Bytes frame = phase == 1 ? B({0x1F, 'R', 'D', 'C', 0, 0, 0})
                                     : B({0x1F, 'R', 'D', 'C', page, offset >> 8, offset & 0xFF});
      EXPECT_EQ(device.Exchange(frame), B({0x1F, 'R', 'D', 'C'}));
      phase = 2;
    } else if (phase == 2) {
      const Bytes reply = device.Exchange(B({0x1F, 'R', 'D', 'D'}));
      EXPECT_EQ(reply.size(), 4u + 3072u);
      EXPECT_EQ(Header(reply, 4), B({0x1F, 'R', 'D', 'D'}));
      StoreType0Rows(reply, *image, row);
      ++blocks;
      offset += 0x800;
      if (blocks % 4 == 0) {
        if (offset == 0x10000) {
          ++page;
          offset = 0;
        }
        phase = 4;
      } else {
        phase = blocks < blockTotal ? 2 : 3;
      }
    } else {
      EXPECT_EQ(device.Exchange(B({0x1F, 'R', 'D', 'E'})), B({0x1F, 'R', 'D', 'E'}));
      phase = 0;
    }
  }
  EXPECT_EQ(blocks, blockTotal);
  return image;
}

TEST(TargetProgramming, Type0WholeRunAnswersEveryStepAndReadsBackWhatWasWritten) {
  Driver device;
  const auto image = PatternImage(0);

  EXPECT_TRUE(device.Send(B({0x1F, 'M', 'S'})).empty()) << "BeginRun is not answered";
  const Bytes identity = device.Exchange(B({0x1F, 'R', 'I'}));
  ASSERT_EQ(identity.size(), 7u);
  EXPECT_EQ(Header(identity, 3), B({0x1F, 'R', 'I'}));
  EXPECT_EQ(identity[3] + 256 * identity[4], 0x00BF) << "the host accepts only 0x00BF";

  const Bytes erased = device.Exchange(B({0x1F, 'E'}));
  EXPECT_EQ(Header(erased, 2), B({0x1F, 'E'}));
  EXPECT_EQ(erased.size(), 3u);

  EXPECT_EQ(device.Exchange(B({0x1F, 'W', 'D', 'S'})), B({0x1F, 'W', 'D', 'S'}));
  for (std::size_t block = 0; block < kBlockTotal; ++block) {
    const std::size_t rows = block < 85 ? 256 : 128;
    EXPECT_EQ(device.Exchange(Type0Block(*image, block * 256, rows)), B({0x1F, 'W', 'D', 'D'}))
        << "block " << block;
  }

  const auto readBack = ReadBackType0(device, kBlockTotal);
  for (std::size_t row = 0; row < kv218::kProgramRows24; ++row) {
    ASSERT_EQ(0, std::memcmp(&readBack->ProgramImage[row * 16], &image->ProgramImage[row * 16], 16))
        << "row " << row;
  }
  // Beyond the program memory the target reads erased words.
  for (std::size_t row = kv218::kProgramRows24; row < kv218::kImageRows; ++row) {
    ASSERT_EQ(Bytes(&readBack->ProgramImage[row * 16], &readBack->ProgramImage[row * 16 + 4]),
              B({0x00, 0xFF, 0xFF, 0xFF}));
  }

  const Bytes config(image->ConfigBytes.begin(), image->ConfigBytes.end());
  EXPECT_EQ(device.Exchange(Cat(B({0x1F, 'W', 'C'}), config.data(), config.size())),
            B({0x1F, 'W', 'C'}));
  EXPECT_EQ(device.Exchange(B({0x1F, 'R', 'C'})), Cat(B({0x1F, 'R', 'C'}), config.data(), 12));

  const Bytes reset = device.Exchange(B({0x1F, 'S'}));
  EXPECT_EQ(Header(reset, 2), B({0x1F, 'S'}));
  EXPECT_TRUE(device.Send(B({0x1F, 'M', 'E'})).empty()) << "EndRun is not answered";
  EXPECT_EQ(device.model.DroppedBytes(), 0u);
}

TEST(TargetProgramming, Type0BlockTotalMultipleOfFourReadsOneBlockMoreAfterANewAddress) {
  // HighestAddress 0x1FFFF: 64 blocks; the host sets an address and reads a 65th block.
  Driver device;
  const auto image = PatternImage(0, 7);
  device.Exchange(B({0x1F, 'E'}));
  device.Exchange(B({0x1F, 'W', 'D', 'S'}));
  // The target holds more than the host reads back, so block 64 has data to show.
  for (std::size_t block = 0; block < 66; ++block) {
    device.Exchange(Type0Block(*image, block * 256, 256));
  }
  auto readBack = std::make_unique<kv218::MemoryImage>();
  std::size_t row = 0;
  device.Exchange(B({0x1F, 'R', 'D', 'S'}));
  device.Exchange(B({0x1F, 'R', 'D', 'C', 0, 0, 0}));
  for (int block = 0; block < 64; ++block) {
    if (block > 0 && block % 4 == 0) {
      const int address = block * 0x800;
      device.Exchange(B({0x1F, 'R', 'D', 'C', address >> 16, (address >> 8) & 0xFF, 0}));
    }
    StoreType0Rows(device.Exchange(B({0x1F, 'R', 'D', 'D'})), *readBack, row);
  }
  device.Exchange(B({0x1F, 'R', 'D', 'C', 0x02, 0x00, 0x00}));  // page 2, offset 0
  const std::size_t extraRow = row;
  StoreType0Rows(device.Exchange(B({0x1F, 'R', 'D', 'D'})), *readBack, row);
  EXPECT_EQ(0,
            std::memcmp(readBack->ProgramImage.data(), image->ProgramImage.data(), extraRow * 16));
  EXPECT_EQ(0, std::memcmp(&readBack->ProgramImage[extraRow * 16],
                           &image->ProgramImage[extraRow * 16], 256 * 16))
      << "block 64 read from address 0x20000";
}

struct Type16Case {
  int type;
  bool protectedRows;  // type 1 gives filler back for rows 1,856..1,983
};

class Type16Programming : public ::testing::TestWithParam<Type16Case> {};

TEST_P(Type16Programming, WholeRunAnswersEveryStepAndReadsBackPairSwapped) {
  const auto [type, protectedRows] = GetParam();
  const std::uint8_t f = Family(type);
  Driver device;
  const auto image = PatternImage(type, 3);

  const Bytes identity = device.Exchange(B({0x1F, f, 'R', 'I'}));
  ASSERT_EQ(identity.size(), 6u);
  EXPECT_EQ(Header(identity, 4), B({0x1F, f, 'R', 'I'}));
  EXPECT_EQ(identity[5], 0x1C);
  EXPECT_TRUE(identity[4] & 0x20);

  EXPECT_EQ(device.Exchange(B({0x1F, f, 'E'})), B({0x1F, f, 'E'}));
  EXPECT_EQ(device.Exchange(B({0x1F, f, 'W', 'S'})), B({0x1F, f, 'W', 'S'}));
  for (std::size_t block = 0; block < 32; ++block) {
    EXPECT_EQ(device.Exchange(Block16(type, *image, block * 64)), B({0x1F, f, 'W', 'D'}));
  }

  EXPECT_EQ(device.Exchange(B({0x1F, f, 'R', 'D', 'S'})), B({0x1F, f, 'R', 'D', 'S'}));
  auto readBack = std::make_unique<kv218::MemoryImage>();
  std::size_t row = 0;
  for (std::size_t block = 0; block < 32; ++block) {
    const Bytes reply = device.Exchange(B({0x1F, f, 'R', 'D', 'D'}));
    ASSERT_EQ(reply.size(), 5u + 1024u);
    EXPECT_EQ(Header(reply, 5), B({0x1F, f, 'R', 'D', 'D'}));
    StoreRows16(reply, *readBack, row);
  }
  for (std::size_t r = 0; r < kv218::kProgramRows16; ++r) {
    const bool hidden = protectedRows && r >= 1856 && r < 1984;
    const Bytes expected =
        hidden ? Bytes(16, 0xFF)
               : Bytes(&image->ProgramImage[r * 16], &image->ProgramImage[r * 16 + 16]);
    ASSERT_EQ(Bytes(&readBack->ProgramImage[r * 16], &readBack->ProgramImage[r * 16 + 16]),
              expected)
        << "row " << r;
  }
  EXPECT_EQ(Header(device.Exchange(B({0x1F, 'S'})), 2), B({0x1F, 'S'}));
}

INSTANTIATE_TEST_SUITE_P(Types, Type16Programming,
                         ::testing::Values(Type16Case{1, true}, Type16Case{2, false}),
                         [](const auto& param) {
                           return "Type" + std::to_string(param.param.type);
                         });

TEST(TargetProgramming, TypesOneAndTwoKeepSeparateTargets) {
  Driver device;
  const auto image = PatternImage(1, 5);
  device.Exchange(B({0x1F, '8', 'W', 'S'}));
  device.Exchange(Block16(1, *image, 0));
  EXPECT_EQ(device.model.Memory().target.memory16[0][0], image->ProgramImage[1]);
  EXPECT_EQ(device.model.Memory().target.memory16[1][0], 0xFF) << "type 2 untouched";
  device.Exchange(B({0x1F, '8', 'E'}));
  EXPECT_EQ(device.model.Memory().target.memory16[0][0], 0xFF) << "erased";
}

TEST(TargetProgramming, Type3AutoProgramStoresTheKilobyteAndAnswersItsResult) {
  Driver device;
  const auto image = PatternImage(3, 9);
  const Bytes reply = device.Exchange(Cat(B({0x1F, 'T', 'A'}), image->ProgramImage.data(), 1024));
  EXPECT_EQ(reply, B({0x1F, 'T', 'A', 0x01}));
  const auto& memory = device.model.Memory().target.memory1K;
  for (std::size_t i = 0; i < 1024; i += 2) {
    // The target holds the file's byte order; the host's image has each pair swapped.
    ASSERT_EQ(memory[i], image->ProgramImage[i + 1]);
    ASSERT_EQ(memory[i + 1], image->ProgramImage[i]);
  }
}

TEST(TargetProgramming, QueryInfoAnswersWithTheNoteOrTheFactorySetting) {
  Driver note;
  const Bytes text = note.Exchange(B({0x1F, '-'}));
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(Header(text, 3), B({0x1F, '-', 'F'}));
  const std::string& expected = note.model.Options().note;
  EXPECT_EQ(std::string(text.begin() + 3, text.end()), expected);

  DeviceOptions options = Driver::NoWait();
  options.factorySetting = true;
  Driver factory(options);
  EXPECT_EQ(factory.Exchange(B({0x1F, '-'})), B({0x1F, '-', 'S'}));
}

}  // namespace
}  // namespace kv218::sim::test

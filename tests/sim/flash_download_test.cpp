// The programmer's flash driven frame by frame: erase counter, erase, counter store, block
// writes and reads, configuration bytes.

#include <gtest/gtest.h>

#include "host_side.h"

namespace kv218::sim::test {
namespace {

Bytes CounterBytes(std::uint32_t n) {
  return B({int(n >> 24), int(n >> 16 & 0xFF), int(n >> 8 & 0xFF), int(n & 0xFF)});
}

TEST(FlashDownload, Type0WholeDownloadStoresTheImageAndReadsItBackInOrder) {
  Driver device;
  device.model.Memory().flash.EraseCounter = 0x01020304;
  const auto image = PatternImage(0, 11);

  const Bytes counter = device.Exchange(B({0x1F, 'F', 'R', 'E'}));
  EXPECT_EQ(counter, B({0x1F, 'F', 'R', 'E', 0x01, 0x02, 0x03, 0x04})) << "most significant first";
  EXPECT_EQ(device.Exchange(B({0x1F, 'F', 'E'})), B({0x1F, 'F', 'E'}));
  EXPECT_EQ(device.Exchange(Cat(B({0x1F, 'F', 'W', 'E'}), CounterBytes(0x01020305).data(), 4)),
            B({0x1F, 'F', 'W', 'E'}));
  EXPECT_EQ(device.model.Memory().flash.EraseCounter, 0x01020305u) << "stored as sent";

  for (std::size_t block = 0; block < 86; ++block) {
    EXPECT_EQ(device.Exchange(FlashWrite(*image, block)), B({0x1F, 'F', 'W', 'D'})) << block;
  }
  auto readBack = std::make_unique<kv218::MemoryImage>();
  for (int block = 0; block < 171; ++block) {
    const Bytes reply = device.Exchange(B({0x1F, 'F', 'R', 'D', block}));
    ASSERT_EQ(reply.size(), 4u + 2048u);
    ASSERT_EQ(Header(reply, 4), B({0x1F, 'F', 'R', 'D'}));
    std::copy(reply.begin() + 4, reply.end(), readBack->ProgramImage.begin() + block * 2048);
  }
  EXPECT_EQ(0, std::memcmp(readBack->ProgramImage.data(), image->ProgramImage.data(),
                           kv218::kProgramRows24 * 16));

  const Bytes config(image->ConfigBytes.begin(), image->ConfigBytes.end());
  EXPECT_EQ(device.Exchange(Cat(B({0x1F, 'F', 'W', 'C'}), config.data(), 12)),
            B({0x1F, 'F', 'W', 'C'}));
  EXPECT_EQ(device.Exchange(B({0x1F, 'F', 'R', 'C'})),
            Cat(B({0x1F, 'F', 'R', 'C'}), config.data(), 12));
  EXPECT_EQ(device.Exchange(B({0x1F, 'F', 'R', 'E'})),
            Cat(B({0x1F, 'F', 'R', 'E'}), CounterBytes(0x01020305).data(), 4));
}

struct SmallFlashCase {
  int type;
  Bytes erase;
  std::size_t writeBlocks;
  std::size_t readBlocks;
  std::size_t readBytes;
};

class SmallFlashDownload : public ::testing::TestWithParam<SmallFlashCase> {};

TEST_P(SmallFlashDownload, EraseWriteAndReadBackWithTheTypesBlockSizes) {
  const SmallFlashCase& c = GetParam();
  Driver device;
  const auto image = PatternImage(c.type, 13);
  EXPECT_EQ(device.Exchange(c.erase), c.erase) << "the answer repeats the family byte";
  for (std::size_t block = 0; block < c.writeBlocks; ++block) {
    EXPECT_EQ(device.Exchange(FlashWrite(*image, block)), B({0x1F, 'F', 'W', 'D'}));
  }
  Bytes readBack;
  for (std::size_t block = 0; block < c.readBlocks; ++block) {
    const Bytes reply = device.Exchange(B({0x1F, 'F', 'R', 'D', int(block)}));
    ASSERT_EQ(reply.size(), 4u + c.readBytes);
    readBack.insert(readBack.end(), reply.begin() + 4, reply.end());
  }
  EXPECT_EQ(readBack,
            Bytes(image->ProgramImage.begin(),
                  image->ProgramImage.begin() + static_cast<std::ptrdiff_t>(readBack.size())));
}

INSTANTIATE_TEST_SUITE_P(Types, SmallFlashDownload,
                         ::testing::Values(SmallFlashCase{1, B({0x1F, '8', 'F', 'E'}), 9, 17, 2048},
                                           SmallFlashCase{2, B({0x1F, '9', 'F', 'E'}), 9, 17, 2048},
                                           SmallFlashCase{3, B({0x1F, 'T', 'F', 'E'}), 1, 1, 1024}),
                         [](const auto& param) {
                           return "Type" + std::to_string(param.param.type);
                         });

TEST(FlashDownload, EraseFillsTheFlashAndForgetsTheImage) {
  Driver device;
  const auto image = PatternImage(0, 2);
  device.Exchange(B({0x1F, 'F', 'E'}));
  device.Exchange(FlashWrite(*image, 0));
  EXPECT_TRUE(device.model.Memory().flash.holdsImage);
  device.Exchange(B({0x1F, 'F', 'E'}));
  EXPECT_FALSE(device.model.Memory().flash.holdsImage);
  const Bytes reply = device.Exchange(B({0x1F, 'F', 'R', 'D', 0}));
  EXPECT_EQ(Bytes(reply.begin() + 4, reply.end()), Bytes(2048, 0xFF));
}

TEST(FlashDownload, BlocksBeyondTheFlashAreReadAsErasedAndNotWritten) {
  Driver device;
  const auto image = PatternImage(0, 4);
  device.Exchange(B({0x1F, 'F', 'E'}));
  for (std::size_t block = 0; block < 90; ++block) device.Exchange(FlashWrite(*image, block % 86));
  const Bytes reply = device.Exchange(B({0x1F, 'F', 'R', 'D', 255}));  // rows 32,640..
  ASSERT_EQ(reply.size(), 4u + 2048u);
  EXPECT_EQ(Bytes(reply.begin() + 4, reply.end()), Bytes(2048, 0xFF));
}

TEST(FlashDownload, EraseCounterIsReportedBigEndianAndStoredBackAsSent) {
  for (std::uint32_t n : {0u, 255u, 99999u, 100000u, 0xFFFFFFFFu}) {
    Driver device;
    device.Exchange(Cat(B({0x1F, 'F', 'W', 'E'}), CounterBytes(n).data(), 4));
    EXPECT_EQ(device.Exchange(B({0x1F, 'F', 'R', 'E'})),
              Cat(B({0x1F, 'F', 'R', 'E'}), CounterBytes(n).data(), 4))
        << n;
  }
}

}  // namespace
}  // namespace kv218::sim::test

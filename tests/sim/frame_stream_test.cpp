// The host's bytes however they arrive: split anywhere, several frames at once, with noise.

#include <gtest/gtest.h>

#include <random>

#include "host_side.h"

namespace kv218::sim::test {
namespace {

// A short session that touches every frame shape, including both type-0 block sizes.
std::vector<Bytes> Session(const kv218::MemoryImage& image) {
  std::vector<Bytes> frames = {B({0x1F, 'M', 'S'}), B({0x1F, 'R', 'I'}), B({0x1F, 'E'}),
                               B({0x1F, 'W', 'D', 'S'})};
  for (std::size_t block = 0; block < 86; ++block) {
    frames.push_back(Type0Block(image, block * 256, block < 85 ? 256 : 128));
  }
  const Bytes config(image.ConfigBytes.begin(), image.ConfigBytes.end());
  for (const Bytes& frame : {B({0x1F, 'R', 'D', 'S'}),
                             B({0x1F, 'R', 'D', 'C', 0, 0, 0}),
                             B({0x1F, 'R', 'D', 'D'}),
                             B({0x1F, 'R', 'D', 'E'}),
                             Cat(B({0x1F, 'W', 'C'}), config.data(), 12),
                             B({0x1F, 'R', 'C'}),
                             B({0x1F, 'S'}),
                             B({0x1F, '8', 'R', 'I'}),
                             B({0x1F, '9', 'E'}),
                             B({0x1F, '8', 'W', 'S'}),
                             Block16(1, image, 0),
                             B({0x1F, '8', 'R', 'D', 'S'}),
                             B({0x1F, '8', 'R', 'D', 'D'}),
                             Cat(B({0x1F, 'T', 'A'}), image.ProgramImage.data(), 1024),
                             B({0x1F, 'F', 'R', 'E'}),
                             B({0x1F, 'T', 'F', 'E'}),
                             B({0x1F, 'F', 'W', 'E', 0, 0, 0, 1}),
                             FlashWrite(image, 0),
                             B({0x1F, 'F', 'R', 'D', 0}),
                             Cat(B({0x1F, 'F', 'W', 'C'}), config.data(), 12),
                             B({0x1F, 'F', 'R', 'C'}),
                             B({0x1F, '-'}),
                             B({0x1F, 'M', 'E'})}) {
    frames.push_back(frame);
  }
  return frames;
}

std::vector<Bytes> Feed(const std::vector<Bytes>& frames, const std::vector<std::size_t>& cuts,
                        Driver& device) {
  Bytes stream;
  for (const Bytes& frame : frames) stream.insert(stream.end(), frame.begin(), frame.end());
  std::vector<Bytes> bursts;
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    const std::size_t end = std::min(stream.size(), at + cut);
    for (Bytes& burst : device.Send(stream.data() + at, end - at))
      bursts.push_back(std::move(burst));
    at = end;
  }
  for (Bytes& burst : device.Send(stream.data() + at, stream.size() - at)) {
    bursts.push_back(std::move(burst));
  }
  return bursts;
}

TEST(FrameStream, AnswersDoNotDependOnHowTheBytesAreSplit) {
  const auto image = PatternImage(0, 21);
  const std::vector<Bytes> frames = Session(*image);

  Driver oneByOne;
  std::vector<Bytes> expected;
  for (const Bytes& frame : frames) {
    for (Bytes& burst : oneByOne.Send(frame)) expected.push_back(std::move(burst));
  }
  ASSERT_EQ(expected.size(), frames.size() - 2) << "one answer per frame but BeginRun, EndRun";

  std::mt19937 random(5);
  std::vector<std::size_t> randomCuts;
  for (int i = 0; i < 400; ++i) randomCuts.push_back(1 + random() % 700);
  const struct {
    const char* name;
    std::vector<std::size_t> cuts;
  } splits[] = {
      {"all at once", {}},
      {"byte by byte", std::vector<std::size_t>(400000, 1)},
      {"random pieces", randomCuts},
  };
  for (const auto& split : splits) {
    Driver device;
    const std::vector<Bytes> bursts = Feed(frames, split.cuts, device);
    ASSERT_EQ(bursts.size(), expected.size()) << split.name;
    for (std::size_t i = 0; i < bursts.size(); ++i) {
      ASSERT_EQ(bursts[i], expected[i]) << split.name << ", answer " << i;
    }
    EXPECT_EQ(device.model.Memory().target.words24, oneByOne.model.Memory().target.words24)
        << split.name;
    EXPECT_EQ(device.model.DroppedBytes(), 0u) << split.name;
  }
}

TEST(FrameStream, NoiseBetweenFramesIsDroppedAndTheNextFrameStillAnswered) {
  Driver device;
  const auto bursts =
      device.Send(B({0x00, 0x55, 0x1F, 0x7A, 0x1F, 'M', 'X', 0xFF, 0x1F, 'R', 'I', 0x1B}));
  ASSERT_EQ(bursts.size(), 1u);
  EXPECT_EQ(Header(bursts[0], 3), B({0x1F, 'R', 'I'}));
  EXPECT_EQ(device.model.DroppedBytes(), 9u) << "every byte but the frame";
}

TEST(FrameStream, AHeaderWithoutPhaseLetterIsIgnoredAndTheNextFrameAnswered) {
  // The host sends a bare program header when its phase has no frame.
  for (const Bytes& bare :
       {B({0x1F, 'R', 'D'}), B({0x1F, 'W', 'D'}), B({0x1F, '8', 'R', 'D'}), B({0x1F, '9', 'W'})}) {
    Driver device;
    const auto bursts = device.Send(Cat(bare, B({0x1F, 'R', 'I'}).data(), 3));
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(Header(bursts[0], 3), B({0x1F, 'R', 'I'}));
    EXPECT_EQ(device.model.FramesHandled(), 2u);
  }
}

TEST(FrameStream, TheType0BlockAfterBlock84IsHalfSizeAndAStartBeginsTheCountAgain) {
  Driver device;
  const auto image = PatternImage(0, 8);
  device.Send(B({0x1F, 'W', 'D', 'S'}));
  for (std::size_t block = 0; block < 85; ++block)
    device.Send(Type0Block(*image, block * 256, 256));
  // A 128-row block and an identity request in one read: both answered.
  const Bytes last = Type0Block(*image, 85 * 256, 128);
  auto bursts = device.Send(Cat(last, B({0x1F, 'R', 'I'}).data(), 3));
  ASSERT_EQ(bursts.size(), 2u);
  EXPECT_EQ(bursts[0], B({0x1F, 'W', 'D', 'D'}));
  EXPECT_EQ(Header(bursts[1], 3), B({0x1F, 'R', 'I'}));
  // After a new start, blocks are full size again.
  device.Send(B({0x1F, 'W', 'D', 'S'}));
  bursts = device.Send(Cat(Type0Block(*image, 0, 256), B({0x1F, 'R', 'I'}).data(), 3));
  EXPECT_EQ(bursts.size(), 2u);
}

}  // namespace
}  // namespace kv218::sim::test

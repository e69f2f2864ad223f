// Operation times, keep-alives during long operations, and the stand-alone run's reports.

#include <gtest/gtest.h>

#include "host_side.h"

namespace kv218::sim::test {
namespace {

using std::chrono::milliseconds;

struct Timed {
  milliseconds delay;
  Bytes bytes;
};

std::vector<Timed> SendTimed(DeviceModel& model, const Bytes& frame) {
  model.Feed(frame.data(), frame.size());
  std::vector<Timed> bursts;
  for (BurstQueue& output = model.Output(); !output.Empty(); output.PopFront()) {
    const Burst& b = output.Front();
    bursts.push_back(
        {b.delay, Bytes(b.bytes.begin(), b.bytes.begin() + static_cast<std::ptrdiff_t>(b.size))});
  }
  return bursts;
}

DeviceOptions Times(milliseconds erase, milliseconds program) {
  DeviceOptions options;
  options.eraseTime = erase;
  options.programTime = program;
  return options;
}

TEST(Timing, EraseAndProgramTakeTheirTimesAndOtherAnswersComeAtOnce) {
  DeviceModel model(Times(milliseconds{1200}, milliseconds{35}));
  const auto image = PatternImage(0);
  const struct {
    Bytes frame;
    milliseconds delay;
  } cases[] = {
      {B({0x1F, 'R', 'I'}), milliseconds{0}},
      {B({0x1F, 'E'}), milliseconds{1200}},
      {B({0x1F, 'W', 'D', 'S'}), milliseconds{0}},
      {Type0Block(*image, 0, 256), milliseconds{35}},
      {B({0x1F, 'F', 'E'}), milliseconds{1200}},
      {FlashWrite(*image, 0), milliseconds{35}},
      {B({0x1F, 'F', 'R', 'D', 0}), milliseconds{0}},
      {Cat(B({0x1F, 'T', 'A'}), image->ProgramImage.data(), 1024), milliseconds{1235}},
  };
  for (const auto& c : cases) {
    const auto bursts = SendTimed(model, c.frame);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(bursts[0].delay, c.delay) << std::hex << int(c.frame[1]) << int(c.frame[2]);
  }
}

TEST(Timing, LongOperationsSendKeepAlivesWellWithinTheHostsPatience) {
  const struct {
    Bytes frame;
    milliseconds erase;
    milliseconds patience;  // the host gives up after this much silence
  } cases[] = {
      {B({0x1F, 'E'}), milliseconds{10000}, milliseconds{6000}},
      {B({0x1F, '8', 'E'}), milliseconds{5500}, milliseconds{6000}},
      {B({0x1F, 'F', 'E'}), milliseconds{40000}, milliseconds{16000}},
      {B({0x1F, 'F', 'E'}), milliseconds{500000}, milliseconds{16000}},  // cut to a minute
  };
  for (const auto& c : cases) {
    DeviceModel model(Times(c.erase, milliseconds{0}));
    const auto bursts = SendTimed(model, c.frame);
    ASSERT_GE(bursts.size(), 2u);
    milliseconds total{0};
    for (std::size_t i = 0; i < bursts.size(); ++i) {
      // A tick can fall just after a burst: leave the host a whole second.
      EXPECT_LT(bursts[i].delay, c.patience - milliseconds{1000});
      total += bursts[i].delay;
      if (i + 1 < bursts.size()) {
        EXPECT_EQ(bursts[i].bytes, B({kKeepAliveByte})) << "keep-alive alone";
      }
    }
    EXPECT_EQ(total, std::min(c.erase, kLongestOperation)) << "the erase takes its time";
    EXPECT_EQ(Header(bursts.back().bytes, 2), Header(c.frame, 2)) << "then the answer";
    EXPECT_EQ(model.Output().Dropped(), 0u);
  }
}

// The status reports of one stand-alone run.
std::vector<Bytes> RunReports(DeviceModel& model) {
  model.StartStandaloneRun();
  std::vector<Bytes> reports;
  for (BurstQueue& output = model.Output(); !output.Empty(); output.PopFront()) {
    const Burst& b = output.Front();
    reports.emplace_back(b.bytes.begin(), b.bytes.begin() + static_cast<std::ptrdiff_t>(b.size));
  }
  return reports;
}

// The host's reference checksum of a type-0 image: its big-endian words over the program rows.
std::uint16_t ReferenceChecksum(const kv218::MemoryImage& image) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kv218::kProgramRows24 * 16; i += 2) {
    sum += image.ProgramImage[i] * 256u + image.ProgramImage[i + 1];
  }
  return static_cast<std::uint16_t>(sum);
}

TEST(StandaloneRun, ProgramsTheTargetFromFlashAndReportsEveryStep) {
  Driver device;
  const auto image = PatternImage(0, 17);
  device.Exchange(B({0x1F, 'F', 'E'}));
  for (std::size_t block = 0; block < 86; ++block) device.Exchange(FlashWrite(*image, block));
  const Bytes config(image->ConfigBytes.begin(), image->ConfigBytes.end());
  device.Exchange(Cat(B({0x1F, 'F', 'W', 'C'}), config.data(), 12));

  const std::uint16_t sum = ReferenceChecksum(*image);
  std::uint16_t configSum = 0;
  for (std::uint8_t byte : config) configSum = static_cast<std::uint16_t>(configSum + byte);
  const std::vector<Bytes> expected = {
      B({0x1B, 'S', 0}),
      B({0x1B, 'S', 1, 0x01}),
      B({0x1B, 'S', 2, sum >> 8, sum & 0xFF}),
      B({0x1B, 'S', 3, sum >> 8, sum & 0xFF}),
      B({0x1B, 'S', 4, configSum >> 8, configSum & 0xFF}),
      B({0x1B, 'S', 5, configSum >> 8, configSum & 0xFF}),
      B({0x1B, 'S', 7}),
  };
  EXPECT_EQ(RunReports(device.model), expected);

  // The target now holds the image: a read-back gives it.
  device.Exchange(B({0x1F, 'R', 'D', 'S'}));
  auto readBack = std::make_unique<kv218::MemoryImage>();
  std::size_t row = 0;
  StoreType0Rows(device.Exchange(B({0x1F, 'R', 'D', 'D'})), *readBack, row);
  EXPECT_EQ(0, std::memcmp(readBack->ProgramImage.data(), image->ProgramImage.data(), 256 * 16));
  EXPECT_EQ(device.Exchange(B({0x1F, 'R', 'C'})), Cat(B({0x1F, 'R', 'C'}), config.data(), 12));
}

TEST(StandaloneRun, Type3ImageIsProgrammedWithoutConfigurationSteps) {
  Driver device;
  const auto image = PatternImage(3, 2);
  device.Exchange(B({0x1F, 'T', 'F', 'E'}));
  device.Exchange(FlashWrite(*image, 0));
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < 1024; ++i)
    sum = static_cast<std::uint16_t>(sum + image->ProgramImage[i]);
  const std::vector<Bytes> expected = {B({0x1B, 'S', 0}), B({0x1B, 'S', 1, 0x01}),
                                       B({0x1B, 'S', 2, sum >> 8, sum & 0xFF}),
                                       B({0x1B, 'S', 3, sum >> 8, sum & 0xFF}), B({0x1B, 'S', 7})};
  EXPECT_EQ(RunReports(device.model), expected);
  EXPECT_EQ(device.model.Memory().target.memory1K[0], image->ProgramImage[1]);
}

TEST(StandaloneRun, WithoutAnImageInFlashTheDeviceIsNotReadyAndFails) {
  Driver device;
  device.Exchange(B({0x1F, 'F', 'E'}));
  const std::vector<Bytes> expected = {B({0x1B, 'S', 0}), B({0x1B, 'S', 1, 0x00}),
                                       B({0x1B, 'S', 6})};
  EXPECT_EQ(RunReports(device.model), expected);
}

TEST(StandaloneRun, ReportsComeAsSeparateBurstsWithTheirOperationTimes) {
  DeviceModel model(Times(milliseconds{1000}, milliseconds{10}));
  model.Memory().flash.holdsImage = true;
  model.Memory().flash.imageType = 2;
  model.StartStandaloneRun();
  std::vector<milliseconds> delays;
  for (BurstQueue& output = model.Output(); !output.Empty(); output.PopFront()) {
    delays.push_back(output.Front().delay);
  }
  ASSERT_EQ(delays.size(), 5u);
  EXPECT_EQ(delays[2], milliseconds{1000 + 32 * 10}) << "erase and 32 blocks";
}

}  // namespace
}  // namespace kv218::sim::test

// Every command frame byte for byte, with its log line and side effects.

#include "protocol/frames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/station.h"
#include "protocol_doubles.h"
#include "testkit/recording_window.h"

namespace kv218 {
namespace {

using test::B;
using test::Bytes;
using test::Lead;
using test::operator+;

// Names the parameterised cases after their table entry.
struct CaseName {
  template <class Info>
  std::string operator()(const Info& p) const {
    return p.param.name;
  }
};

struct FramesFixture {
  FramesFixture() { station.port = &port; }
  Station station;
  RecordingWindow window;
  test::RecordingPort port;
  Frames frames{station, window};
};

// --- small frames: the whole frame is in the table ------------------------------------------

struct SmallFrameCase {
  const char* name;
  void (*arrange)(Station&);
  void (*build)(Frames&);
  Bytes bytes;
  std::vector<std::string> log;
};

void Nothing(Station&) {}

class SmallFrameTest : public ::testing::TestWithParam<SmallFrameCase> {};

TEST_P(SmallFrameTest, SendsExactlyTheseBytesAndLogsItsLine) {
  const SmallFrameCase& c = GetParam();
  FramesFixture f;
  c.arrange(f.station);
  c.build(f.frames);
  ASSERT_EQ(f.port.sent.size(), 1u);
  EXPECT_EQ(f.port.sent[0], c.bytes);
  EXPECT_EQ(f.window.log, c.log);
}

const std::vector<std::string> kNoLog;

const SmallFrameCase kSmallFrames[] = {
    SmallFrameCase{"BeginRun", Nothing, [](Frames& f) { f.BeginRun(); }, B({0x1F, 0x4D, 0x53}),
                   kNoLog},
    SmallFrameCase{"EndRun", Nothing, [](Frames& f) { f.EndRun(); }, B({0x1F, 0x4D, 0x45}), kNoLog},
    SmallFrameCase{"ReadDeviceIdType0",
                   Nothing,
                   [](Frames& f) { f.ReadDeviceId(); },
                   B({0x1F, 0x52, 0x49}),
                   {"1. Reading Device ID ..."}},
    SmallFrameCase{"ReadDeviceIdType1",
                   Nothing,
                   [](Frames& f) { f.ReadDeviceId(0); },
                   B({0x1F, 0x38, 0x52, 0x49}),
                   {"1. Reading Device ID ..."}},
    SmallFrameCase{"ReadDeviceIdType2",
                   Nothing,
                   [](Frames& f) { f.ReadDeviceId(1); },
                   B({0x1F, 0x39, 0x52, 0x49}),
                   {"1. Reading Device ID ..."}},
    SmallFrameCase{"ReadDeviceIdOtherFamily",
                   Nothing,
                   [](Frames& f) { f.ReadDeviceId(2); },
                   B({0x1F, 0x52, 0x49}),
                   {"1. Reading Device ID ..."}},
    SmallFrameCase{"BulkEraseType0",
                   Nothing,
                   [](Frames& f) { f.BulkErase(); },
                   B({0x1F, 0x45}),
                   {"2. Bulk Erasing ..."}},
    SmallFrameCase{"BulkEraseType1",
                   Nothing,
                   [](Frames& f) { f.BulkErase(0); },
                   B({0x1F, 0x38, 0x45}),
                   {"2. Bulk Erasing ..."}},
    SmallFrameCase{"BulkEraseType2",
                   Nothing,
                   [](Frames& f) { f.BulkErase(1); },
                   B({0x1F, 0x39, 0x45}),
                   {"2. Bulk Erasing ..."}},
    SmallFrameCase{"WriteStartType0",
                   Nothing,
                   [](Frames& f) { f.WriteProgram(); },
                   B({0x1F, 0x57, 0x44, 0x53}),
                   {"3. Programming Program Memory ..."}},
    SmallFrameCase{"WriteStartType1",
                   Nothing,
                   [](Frames& f) { f.WriteProgram(0); },
                   B({0x1F, 0x38, 0x57, 0x53}),
                   {"3. Programming Program Memory ..."}},
    SmallFrameCase{"WriteStartType2",
                   Nothing,
                   [](Frames& f) { f.WriteProgram(1); },
                   B({0x1F, 0x39, 0x57, 0x53}),
                   {"3. Programming Program Memory ..."}},
    SmallFrameCase{"WriteUnknownPhaseType0", [](Station& s) { s.transfer.WritePhase = 2; },
                   [](Frames& f) { f.WriteProgram(); }, B({0x1F, 0x57, 0x44}), kNoLog},
    SmallFrameCase{"WriteUnknownPhaseType2", [](Station& s) { s.transfer.WritePhase = -1; },
                   [](Frames& f) { f.WriteProgram(1); }, B({0x1F, 0x39, 0x57}), kNoLog},
    SmallFrameCase{"ReadStartType0",
                   Nothing,
                   [](Frames& f) { f.ReadProgram(); },
                   B({0x1F, 0x52, 0x44, 0x53}),
                   {"4. Reading Program Memory ..."}},
    SmallFrameCase{"ReadFirstAddressType0", [](Station& s) { s.transfer.ReadPhase = 1; },
                   [](Frames& f) { f.ReadProgram(); },
                   B({0x1F, 0x52, 0x44, 0x43, 0x00, 0x00, 0x00}), kNoLog},
    SmallFrameCase{"ReadNextDataType0", [](Station& s) { s.transfer.ReadPhase = 2; },
                   [](Frames& f) { f.ReadProgram(); }, B({0x1F, 0x52, 0x44, 0x44}), kNoLog},
    SmallFrameCase{"ReadEndType0", [](Station& s) { s.transfer.ReadPhase = 3; },
                   [](Frames& f) { f.ReadProgram(); }, B({0x1F, 0x52, 0x44, 0x45}), kNoLog},
    SmallFrameCase{"ReadSetAddressFromPageAndOffset",
                   [](Station& s) {
                     s.transfer.ReadPhase = 4;
                     s.transfer.ReadPage = 1;
                     s.transfer.ReadOffset = 0x1800;
                   },
                   [](Frames& f) { f.ReadProgram(); },
                   B({0x1F, 0x52, 0x44, 0x43, 0x01, 0x18, 0x00}), kNoLog},
    SmallFrameCase{"ReadSetAddressPageLow8Bits",
                   [](Station& s) {
                     s.transfer.ReadPhase = 4;
                     s.transfer.ReadPage = 0x102;
                     s.transfer.ReadOffset = 0xF800;
                   },
                   [](Frames& f) { f.ReadProgram(); },
                   B({0x1F, 0x52, 0x44, 0x43, 0x02, 0xF8, 0x00}), kNoLog},
    SmallFrameCase{"ReadUnknownPhaseType0", [](Station& s) { s.transfer.ReadPhase = 5; },
                   [](Frames& f) { f.ReadProgram(); }, B({0x1F, 0x52, 0x44}), kNoLog},
    SmallFrameCase{"ReadStartType1",
                   Nothing,
                   [](Frames& f) { f.ReadProgram(0); },
                   B({0x1F, 0x38, 0x52, 0x44, 0x53}),
                   {"4. Reading Program Memory ..."}},
    SmallFrameCase{"ReadNextDataType2", [](Station& s) { s.transfer.ReadPhase = 1; },
                   [](Frames& f) { f.ReadProgram(1); }, B({0x1F, 0x39, 0x52, 0x44, 0x44}), kNoLog},
    SmallFrameCase{"ReadUnknownPhaseType1", [](Station& s) { s.transfer.ReadPhase = 2; },
                   [](Frames& f) { f.ReadProgram(0); }, B({0x1F, 0x38, 0x52, 0x44}), kNoLog},
    SmallFrameCase{"WriteConfig",
                   [](Station& s) {
                     for (std::size_t i = 0; i < kConfigCount; ++i)
                       s.image.ConfigBytes[i] = static_cast<std::uint8_t>(0xA0 + i);
                   },
                   [](Frames& f) { f.WriteConfig(); },
                   B({0x1F, 0x57, 0x43, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9,
                      0xAA, 0xAB}),
                   {"6. Programming Configuration Bits ..."}},
    SmallFrameCase{"ReadConfig",
                   Nothing,
                   [](Frames& f) { f.ReadConfig(); },
                   B({0x1F, 0x52, 0x43}),
                   {"7. Reading Configuration Bits ..."}},
    SmallFrameCase{"ResetTarget", Nothing, [](Frames& f) { f.ResetTarget(); }, B({0x1F, 0x53}),
                   kNoLog},
    SmallFrameCase{"FlashEraseType0", Nothing,
                   [](Frames& f) { f.FlashErase(TargetType::TkSeries); }, B({0x1F, 0x46, 0x45}),
                   kNoLog},
    SmallFrameCase{"FlashEraseType1", Nothing,
                   [](Frames& f) { f.FlashErase(TargetType::MvrxSeries); },
                   B({0x1F, 0x38, 0x46, 0x45}), kNoLog},
    SmallFrameCase{"FlashEraseType2", Nothing,
                   [](Frames& f) { f.FlashErase(TargetType::CradleSet); },
                   B({0x1F, 0x39, 0x46, 0x45}), kNoLog},
    SmallFrameCase{"FlashEraseType3", Nothing, [](Frames& f) { f.FlashErase(TargetType::EcoMode); },
                   B({0x1F, 0x54, 0x46, 0x45}), kNoLog},
    SmallFrameCase{"FlashEraseNoType", Nothing, [](Frames& f) { f.FlashErase(TargetType::None); },
                   B({0x1F, 0x46, 0x45}), kNoLog},
    SmallFrameCase{"FlashReadDataBlock170", [](Station& s) { s.transfer.FlashBlocks = 170; },
                   [](Frames& f) { f.FlashReadData(); }, B({0x1F, 0x46, 0x52, 0x44, 0xAA}), kNoLog},
    SmallFrameCase{"FlashReadDataLow8Bits", [](Station& s) { s.transfer.FlashBlocks = 0x1234; },
                   [](Frames& f) { f.FlashReadData(); }, B({0x1F, 0x46, 0x52, 0x44, 0x34}), kNoLog},
    SmallFrameCase{"FlashWriteConfig",
                   [](Station& s) {
                     for (std::size_t i = 0; i < kConfigCount; ++i)
                       s.image.ConfigBytes[i] = static_cast<std::uint8_t>(i + 1);
                   },
                   [](Frames& f) { f.FlashWriteConfig(); },
                   B({0x1F, 0x46, 0x57, 0x43, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), kNoLog},
    SmallFrameCase{"FlashReadConfig", Nothing, [](Frames& f) { f.FlashReadConfig(); },
                   B({0x1F, 0x46, 0x52, 0x43}), kNoLog},
    SmallFrameCase{"ReadEraseCounter", Nothing, [](Frames& f) { f.ReadEraseCounter(); },
                   B({0x1F, 0x46, 0x52, 0x45}), kNoLog},
    SmallFrameCase{"WriteEraseCounter255", [](Station& s) { s.transfer.EraseCounter = 255; },
                   [](Frames& f) { f.WriteEraseCounter(); },
                   B({0x1F, 0x46, 0x57, 0x45, 0x00, 0x00, 0x01, 0x00}), kNoLog},
    SmallFrameCase{"WriteEraseCounter99999", [](Station& s) { s.transfer.EraseCounter = 99999; },
                   [](Frames& f) { f.WriteEraseCounter(); },
                   B({0x1F, 0x46, 0x57, 0x45, 0x00, 0x01, 0x86, 0xA0}), kNoLog},
    SmallFrameCase{"WriteEraseCounterWraps",
                   [](Station& s) { s.transfer.EraseCounter = 0xFFFFFFFF; },
                   [](Frames& f) { f.WriteEraseCounter(); },
                   B({0x1F, 0x46, 0x57, 0x45, 0x00, 0x00, 0x00, 0x00}), kNoLog},
    SmallFrameCase{"QueryInfo", Nothing, [](Frames& f) { f.QueryInfo(); }, B({0x1F, 0x2D}), kNoLog},
};
INSTANTIATE_TEST_SUITE_P(AllBuilders, SmallFrameTest, ::testing::ValuesIn(kSmallFrames),
                         CaseName());

// --- frames that carry image rows --------------------------------------------------------

// A byte pattern that differs between neighbouring rows and between the bytes of a row.
std::uint8_t Pattern(std::size_t index) {
  return static_cast<std::uint8_t>(index * 7 + index / 16 * 3 + 1);
}

void FillPattern(MemoryImage& image) {
  for (std::size_t i = 0; i < kImageBytes; ++i) image.ProgramImage[i] = Pattern(i);
}

// The image bytes a frame should carry: rows [first, first + rows), the given row offsets,
// 0xFF for rows past the end of ProgramImage.
Bytes ExpectedRows(std::size_t first, std::size_t rows,
                   std::initializer_list<std::size_t> offsets) {
  Bytes out;
  for (std::size_t r = first; r < first + rows; ++r) {
    for (std::size_t o : offsets) out.push_back(r < kImageRows ? Pattern(r * 16 + o) : 0xFF);
  }
  return out;
}

const std::initializer_list<std::size_t> kWordBytes = {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15};
const std::initializer_list<std::size_t> kAllBytes = {0, 1, 2,  3,  4,  5,  6,  7,
                                                      8, 9, 10, 11, 12, 13, 14, 15};

struct RowFrameCase {
  const char* name;
  void (*arrange)(TransferState&);
  void (*build)(Frames&);
  Bytes header;
  std::size_t firstRow;
  std::size_t rows;
  bool wordsOnly;              // type 0: the pad byte of each 4-byte group is left out
  std::int32_t writeRowAfter;  // -1: not looked at
  std::vector<std::string> log = {};
};

class RowFrameTest : public ::testing::TestWithParam<RowFrameCase> {};

TEST_P(RowFrameTest, CarriesTheRowsOfTheImage) {
  const RowFrameCase& c = GetParam();
  FramesFixture f;
  FillPattern(f.station.image);
  c.arrange(f.station.transfer);
  c.build(f.frames);
  ASSERT_EQ(f.port.sent.size(), 1u);
  const Bytes expected =
      c.header + ExpectedRows(c.firstRow, c.rows, c.wordsOnly ? kWordBytes : kAllBytes);
  EXPECT_EQ(f.port.sent[0].size(), expected.size());
  EXPECT_EQ(f.port.sent[0], expected);
  if (c.writeRowAfter >= 0) {
    EXPECT_EQ(f.station.transfer.WriteRow, c.writeRowAfter);
  }
  EXPECT_EQ(f.window.log, c.log);
}

const RowFrameCase kRowFrames[] = {
    RowFrameCase{"Type0FirstBlock256Rows", [](TransferState& t) { t.WritePhase = 1; },
                 [](Frames& f) { f.WriteProgram(); }, Lead("WDD"), 0, 256, true, 256},
    RowFrameCase{"Type0Block84Still256Rows",
                 [](TransferState& t) {
                   t.WritePhase = 1;
                   t.WriteBlocks = 84;
                   t.WriteRow = 84 * 256;
                 },
                 [](Frames& f) { f.WriteProgram(); }, Lead("WDD"), 84 * 256, 256, true, 85 * 256},
    RowFrameCase{"Type0Block85Carries128Rows",
                 [](TransferState& t) {
                   t.WritePhase = 1;
                   t.WriteBlocks = 85;
                   t.WriteRow = 85 * 256;
                 },
                 [](Frames& f) { f.WriteProgram(); }, Lead("WDD"), 85 * 256, 128, true,
                 85 * 256 + 128},
    RowFrameCase{"Type0RowsPastTheImageGoAsErased",
                 [](TransferState& t) {
                   t.WritePhase = 1;
                   t.WriteBlocks = 90;
                   t.WriteRow = 21950;
                 },
                 [](Frames& f) { f.WriteProgram(); }, Lead("WDD"), 21950, 128, true, 21950 + 128},
    RowFrameCase{"Type1DataBlock64Rows",
                 [](TransferState& t) {
                   t.WritePhase = 1;
                   t.WriteRow = 128;
                 },
                 [](Frames& f) { f.WriteProgram(0); }, Lead("8WD"), 128, 64, false, 192},
    RowFrameCase{"Type2DataBlock64Rows",
                 [](TransferState& t) {
                   t.WritePhase = 1;
                   t.WriteRow = 1984;
                 },
                 [](Frames& f) { f.WriteProgram(1); }, Lead("9WD"), 1984, 64, false, 2048},
    RowFrameCase{"AutoProgramRows0To63",
                 [](TransferState&) {},
                 [](Frames& f) { f.AutoProgram(); },
                 Lead("TA"),
                 0,
                 64,
                 false,
                 -1,
                 {"1. Aoto Programming Main Memory ..."}},
    RowFrameCase{"FlashWriteDataBlock0", [](TransferState&) {},
                 [](Frames& f) { f.FlashWriteData(); }, Lead("FWD"), 0, 256, false, -1},
    RowFrameCase{"FlashWriteDataLastBlockWithPadBytes",
                 [](TransferState& t) { t.FlashBlocks = 85; },
                 [](Frames& f) { f.FlashWriteData(); }, Lead("FWD"), 85 * 256, 256, false, -1},
    RowFrameCase{"FlashWriteDataPastTheImageGoesAsErased",
                 [](TransferState& t) { t.FlashBlocks = 86; },
                 [](Frames& f) { f.FlashWriteData(); }, Lead("FWD"), 86 * 256, 256, false, -1},
};
INSTANTIATE_TEST_SUITE_P(ImageFrames, RowFrameTest, ::testing::ValuesIn(kRowFrames), CaseName());

TEST(RowFrameLengths, MatchTheWireFormat) {
  struct Case {
    void (*arrange)(TransferState&);
    void (*build)(Frames&);
    std::size_t length;
  } cases[] = {
      {[](TransferState& t) { t.WritePhase = 1; }, [](Frames& f) { f.WriteProgram(); }, 3076},
      {[](TransferState& t) { t.WritePhase = 1, t.WriteBlocks = 85; },
       [](Frames& f) { f.WriteProgram(); }, 1540},
      {[](TransferState& t) { t.WritePhase = 1; }, [](Frames& f) { f.WriteProgram(0); }, 1028},
      {[](TransferState&) {}, [](Frames& f) { f.AutoProgram(); }, 1027},
      {[](TransferState&) {}, [](Frames& f) { f.FlashWriteData(); }, 4100},
  };
  for (const Case& c : cases) {
    FramesFixture f;
    c.arrange(f.station.transfer);
    c.build(f.frames);
    ASSERT_EQ(f.port.sent.size(), 1u);
    EXPECT_EQ(f.port.sent[0].size(), c.length);
  }
}

// --- side effects -------------------------------------------------------------------------

TEST(FrameSideEffects, WriteStartResetsRowAndBlockCounters) {
  for (int family : {-1, 0, 1}) {
    FramesFixture f;
    f.station.transfer.WriteRow = 500;
    f.station.transfer.WriteBlocks = 40;
    if (family < 0) {
      f.frames.WriteProgram();
    } else {
      f.frames.WriteProgram(family);
    }
    EXPECT_EQ(f.station.transfer.WriteRow, 0);
    EXPECT_EQ(f.station.transfer.WriteBlocks, 0);
    EXPECT_EQ(f.station.transfer.WritePhase, 0);  // only the replies move the phase
  }
}

TEST(FrameSideEffects, ReadStartZeroesGaugeAndPresetsTheProgramWindowOnly) {
  for (int family : {-1, 0, 1}) {
    FramesFixture f;
    f.station.image.ProgramImage.fill(0x5A);
    if (family < 0) {
      f.frames.ReadProgram();
    } else {
      f.frames.ReadProgram(family);
    }
    EXPECT_EQ(f.window.progressCalls, std::vector<int>{0});
    const auto& image = f.station.image.ProgramImage;
    for (std::size_t i = 0; i < kProgramRows24 * kRowBytes; ++i) {
      ASSERT_EQ(image[i], i % 4 == 0 ? 0x00 : 0xFF) << "byte " << i;
    }
    for (std::size_t i = kProgramRows24 * kRowBytes; i < kImageBytes; ++i) {
      ASSERT_EQ(image[i], 0x5A) << "byte " << i;
    }
  }
}

TEST(FrameSideEffects, LaterReadFramesLeaveTheImageAlone) {
  for (int phase : {1, 2, 3, 4}) {
    FramesFixture f;
    f.station.image.ProgramImage.fill(0x5A);
    f.station.transfer.ReadPhase = phase;
    f.frames.ReadProgram();
    EXPECT_EQ(f.station.image.ProgramImage[1], 0x5A);
    EXPECT_TRUE(f.window.progressCalls.empty());
  }
}

TEST(FrameSideEffects, AutoProgramZeroesGaugeAndLogsItsStep) {
  FramesFixture f;
  f.frames.AutoProgram();
  EXPECT_EQ(f.window.progressCalls, std::vector<int>{0});
  EXPECT_EQ(f.window.log, std::vector<std::string>{"1. Aoto Programming Main Memory ..."});
}

TEST(FrameSideEffects, EachWriteEraseCounterCountsAgain) {
  FramesFixture f;
  f.station.transfer.EraseCounter = 255;
  f.frames.WriteEraseCounter();
  f.frames.WriteEraseCounter();
  EXPECT_EQ(f.station.transfer.EraseCounter, 257u);
  ASSERT_EQ(f.port.sent.size(), 2u);
  EXPECT_EQ(f.port.sent[1], B({0x1F, 0x46, 0x57, 0x45, 0x00, 0x00, 0x01, 0x01}));
}

TEST(FrameSideEffects, FlashFramesDoNotMoveTheBlockCounter) {
  FramesFixture f;
  f.station.transfer.FlashBlocks = 7;
  f.frames.FlashWriteData();
  f.frames.FlashReadData();
  EXPECT_EQ(f.station.transfer.FlashBlocks, 7);
}

TEST(FrameSideEffects, WithoutAPortFramesGoNowhereButStillLogAndCount) {
  Station station;  // no port
  RecordingWindow window;
  Frames frames(station, window);
  frames.ReadDeviceId();
  frames.WriteEraseCounter();
  frames.QueryInfo();
  EXPECT_EQ(window.log, std::vector<std::string>{"1. Reading Device ID ..."});
  EXPECT_EQ(station.transfer.EraseCounter, 1u);
}

TEST(FrameSideEffects, ALargeFrameAfterASmallOneIsWholeAndUnmixed) {
  FramesFixture f;
  FillPattern(f.station.image);
  f.frames.FlashWriteData();
  f.frames.QueryInfo();
  f.frames.FlashWriteData();
  ASSERT_EQ(f.port.sent.size(), 3u);
  EXPECT_EQ(f.port.sent[1], B({0x1F, 0x2D}));
  EXPECT_EQ(f.port.sent[2], f.port.sent[0]);
}

}  // namespace
}  // namespace kv218

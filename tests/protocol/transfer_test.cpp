// Whole block transfers: the real frame builders and the reply decoding against a small
// programmer in the test that keeps what it is sent and answers every frame.

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "protocol/frames.h"
#include "reply_harness.h"

namespace kv218 {
namespace {

using test::Bytes;
using test::Lead;
using test::operator+;

bool Starts(const Bytes& frame, std::string_view letters) {
  const Bytes head = Lead(letters);
  return frame.size() >= head.size() && std::equal(head.begin(), head.end(), frame.begin());
}

// The programmer's side of the program-memory and flash conversations.
class FakeProgrammer {
 public:
  // The reply to one frame (empty: none).
  Bytes Answer(const Bytes& frame) {
    log.push_back(Kind(frame));
    if (Starts(frame, "WDS")) return Lead("WDS");
    if (Starts(frame, "WDD")) return WriteWords(frame);
    if (Starts(frame, "RDS") || Starts(frame, "RDE")) return Lead(log.back());
    if (Starts(frame, "RDC")) return SetAddress(frame);
    if (Starts(frame, "RDD")) return ReadWords();
    for (std::string family : {"8", "9"}) {
      if (Starts(frame, family + "WS")) return Lead(family + "WS");
      if (Starts(frame, family + "WD")) return WriteRows(frame, family);
      if (Starts(frame, family + "RDS")) {
        rowCursor = 0;
        return Lead(family + "RDS");
      }
      if (Starts(frame, family + "RDD")) return ReadRows(family);
    }
    if (Starts(frame, "FWD")) {
      flash.insert(flash.end(), frame.begin() + 4, frame.end());
      return Lead("FWD");
    }
    if (Starts(frame, "FRD")) return ReadFlash(frame[4]);
    return {};
  }

  std::vector<std::uint32_t> words;      // type-0 program memory, one 24-bit word each
  std::vector<std::uint8_t> bytes16;     // types 1 and 2 program memory
  std::vector<std::uint8_t> flash;       // the programmer's own flash
  std::vector<std::size_t> writeRows;    // rows in each program data block received
  std::vector<std::uint32_t> addresses;  // every set-address request
  std::vector<std::string> log;          // the kind of every frame received
  std::size_t flashReadBytes = 2048;
  std::size_t shortBlock = SIZE_MAX;  // this read-back data reply is cut after 10 groups

 private:
  static std::string Kind(const Bytes& frame) {
    std::string kind;
    for (std::size_t i = 1; i < frame.size() && i < 5; ++i) {
      const char c = static_cast<char>(frame[i]);
      if (c < '0' || c > 'Z') break;
      kind.push_back(c);
    }
    return kind;
  }

  Bytes WriteWords(const Bytes& frame) {
    writeRows.push_back((frame.size() - 4) / 12);
    for (std::size_t i = 4; i + 3 <= frame.size(); i += 3) {
      words.push_back(std::uint32_t{frame[i]} << 16 | std::uint32_t{frame[i + 1]} << 8 |
                      frame[i + 2]);
    }
    return Lead("WDD");
  }

  Bytes SetAddress(const Bytes& frame) {
    const std::uint32_t address =
        std::uint32_t{frame[4]} << 16 | std::uint32_t{frame[5]} << 8 | frame[6];
    addresses.push_back(address);
    wordCursor = address / 2;  // two address units per word
    return Lead("RDC");
  }

  Bytes ReadWords() {
    Bytes reply = Lead("RDD");
    const std::size_t groups = dataReplies++ == shortBlock ? 10 : 256;
    for (std::size_t w = 0; w < groups * 4; ++w, ++wordCursor) {
      const std::uint32_t word = wordCursor < words.size() ? words[wordCursor] : 0xFFFFFF;
      reply.push_back(static_cast<std::uint8_t>(word));
      reply.push_back(static_cast<std::uint8_t>(word >> 8));
      reply.push_back(static_cast<std::uint8_t>(word >> 16));
    }
    wordCursor += 1024 - groups * 4;
    return reply;
  }

  Bytes WriteRows(const Bytes& frame, const std::string& family) {
    writeRows.push_back((frame.size() - 4) / 16);
    bytes16.insert(bytes16.end(), frame.begin() + 4, frame.end());
    return Lead(family + "WD");
  }

  Bytes ReadRows(const std::string& family) {
    Bytes reply = Lead(family + "RDD");
    for (std::size_t i = 0; i < 64 * 16; i += 2, rowCursor += 2) {
      reply.push_back(bytes16[rowCursor + 1]);  // each pair goes high byte first
      reply.push_back(bytes16[rowCursor]);
    }
    return reply;
  }

  Bytes ReadFlash(std::uint8_t block) {
    Bytes reply = Lead("FRD");
    const std::size_t from = block * flashReadBytes;
    for (std::size_t i = from; i < from + flashReadBytes; ++i) {
      reply.push_back(i < flash.size() ? flash[i] : 0xFF);
    }
    return reply;
  }

  std::size_t wordCursor = 0;
  std::size_t rowCursor = 0;
  std::size_t dataReplies = 0;
};

// The host with its real frames on a recording port, talking to the fake programmer.
struct Conversation : ::testing::Test {
  Conversation() { h.station.port = &port; }

  // Answers every frame sent until the transfer stops asking.
  void Run() {
    for (; answered < port.sent.size(); ++answered) {
      const Bytes reply = programmer.Answer(port.sent[answered]);
      if (!reply.empty())
        ReceiveHandler(h.station, h.window, h.loop, frames, reply.data(), reply.size(), test::kNow);
    }
  }

  void FillType0Image() {
    auto& image = h.station.image.ProgramImage;
    for (std::size_t i = 0; i < kImageBytes; ++i) {
      image[i] = i % 4 == 0 ? 0 : static_cast<std::uint8_t>(i * 13 + i / 64);
    }
  }

  void FillBytes() {
    auto& image = h.station.image.ProgramImage;
    for (std::size_t i = 0; i < kImageBytes; ++i)
      image[i] = static_cast<std::uint8_t>(i * 11 + i / 256);
  }

  test::ReplyHarness h;
  test::RecordingPort port;
  Frames frames{h.station, h.window};
  FakeProgrammer programmer;
  std::size_t answered = 0;  // frames sent so far that the programmer has seen
};

std::vector<std::size_t> Repeat(std::size_t value, std::size_t times) {
  return std::vector<std::size_t>(times, value);
}

TEST_F(Conversation, Type0WriteAndReadBackOf86Blocks) {
  h.station.image.HighestAddress = 0x2ABFF;
  FillType0Image();
  const MemoryImage loaded = h.station.image;

  frames.WriteProgram();
  Run();
  std::vector<std::size_t> expectedRows = Repeat(256, 85);
  expectedRows.push_back(128);
  EXPECT_EQ(programmer.writeRows, expectedRows);
  ASSERT_EQ(programmer.words.size(), kProgramRows24 * 4);
  for (std::size_t w = 0; w < programmer.words.size(); ++w) {
    const std::uint8_t* group = loaded.ProgramImage.data() + w * 4;
    ASSERT_EQ(programmer.words[w], std::uint32_t{group[1]} << 16 | group[2] << 8 | group[3]) << w;
  }
  EXPECT_EQ(h.station.flags.target.WriteDone, 1);
  EXPECT_EQ(h.station.transfer.WritePhase, 0);
  EXPECT_EQ(h.window.log.back(), "3. Programming Program Memory ... OK");
  EXPECT_EQ(h.window.progressCalls.back(), 100);

  h.station.image.ProgramImage.fill(0x77);
  programmer.log.clear();
  frames.ReadProgram();
  Run();
  // A new address before every fourth block: 22 addresses for 86 blocks, the page moving on
  // at each 64 K.
  std::vector<std::uint32_t> expectedAddresses;
  for (std::uint32_t a = 0; a < 86 * 0x800; a += 4 * 0x800) expectedAddresses.push_back(a);
  EXPECT_EQ(programmer.addresses, expectedAddresses);
  EXPECT_EQ(programmer.log.front(), "RDS");
  EXPECT_EQ(programmer.log.back(), "RDE");
  EXPECT_EQ(std::count(programmer.log.begin(), programmer.log.end(), "RDD"), 86);
  EXPECT_EQ(h.station.flags.target.ReadDone, 1);
  EXPECT_EQ(h.station.transfer.ReadPhase, 0);
  EXPECT_EQ(h.station.transfer.ReadRow, static_cast<std::int32_t>(kImageRows));
  EXPECT_TRUE(std::equal(loaded.ProgramImage.begin(),
                         loaded.ProgramImage.begin() + kProgramRows24 * kRowBytes,
                         h.station.image.ProgramImage.begin()));
  EXPECT_EQ(h.window.log.back(), "4. Reading Program Memory ... OK");
  EXPECT_EQ(h.loop.pumps, 86 + 86);
}

TEST_F(Conversation, Type0ReadBackOfAMultipleOf4TakesOneMoreBlock) {
  h.station.image.HighestAddress = 0x1FFFF;  // 64 blocks
  frames.ReadProgram();
  Run();
  EXPECT_EQ(std::count(programmer.log.begin(), programmer.log.end(), "RDD"), 65);
  EXPECT_EQ(programmer.addresses.size(), 17u);
  EXPECT_EQ(programmer.addresses.back(), 0x20000u);  // page 2, offset 0
  EXPECT_EQ(port.sent[port.sent.size() - 3], Lead("RDC") + test::B({0x02, 0x00, 0x00}));
  EXPECT_EQ(h.station.flags.target.ReadDone, 1);
  EXPECT_EQ(h.window.progress, 100);
  EXPECT_EQ(h.window.progressCalls.back(), 101);
}

TEST_F(Conversation, Type0ShortDataReplyCannotPassForData) {
  h.station.image.HighestAddress = 0x2ABFF;
  FillType0Image();
  const MemoryImage loaded = h.station.image;
  frames.WriteProgram();
  Run();
  programmer.shortBlock = 5;
  frames.ReadProgram();
  Run();
  const auto& image = h.station.image.ProgramImage;
  const auto row = [&](const auto& img, std::size_t r) {
    return Bytes(img.begin() + r * kRowBytes, img.begin() + (r + 1) * kRowBytes);
  };
  EXPECT_EQ(row(image, 5 * 256 + 9), row(loaded.ProgramImage, 5 * 256 + 9));
  for (std::size_t r = 5 * 256 + 10; r < 6 * 256; ++r) {
    ASSERT_EQ(row(image, r), test::B({0, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF,
                                      0, 0xFF, 0xFF, 0xFF}))
        << r;
  }
  // The blocks after the short one still land in their own rows.
  for (std::size_t r = 6 * 256; r < kProgramRows24; ++r) {
    ASSERT_EQ(row(image, r), row(loaded.ProgramImage, r)) << r;
  }
  // The read-back ends, but as one that lost data.
  EXPECT_EQ(h.station.flags.target.ReadDone, 2);
  EXPECT_EQ(h.window.log.back(), "4. Reading Program Memory ... NG");

  // The next read-back starts with a clean slate.
  h.station.flags.target.ReadDone = 0;
  programmer.shortBlock = SIZE_MAX;
  frames.ReadProgram();
  Run();
  EXPECT_EQ(h.station.flags.target.ReadDone, 1);
  EXPECT_EQ(h.window.log.back(), "4. Reading Program Memory ... OK");
}

class Family16Conversation : public Conversation, public ::testing::WithParamInterface<int> {};

TEST_P(Family16Conversation, WriteAndReadBackOf32Blocks) {
  const int family = GetParam();
  FillBytes();
  const MemoryImage loaded = h.station.image;
  frames.WriteProgram(family);
  Run();
  EXPECT_EQ(programmer.writeRows, Repeat(64, 32));
  EXPECT_TRUE(std::equal(programmer.bytes16.begin(), programmer.bytes16.end(),
                         loaded.ProgramImage.begin()));
  EXPECT_EQ(programmer.log.front(), family == 0 ? "8WS" : "9WS");
  EXPECT_EQ(h.station.flags.target.WriteDone, 1);

  frames.ReadProgram(family);
  Run();
  EXPECT_EQ(h.station.flags.target.ReadDone, 1);
  EXPECT_EQ(h.station.transfer.ReadPhase, 0);
  EXPECT_EQ(h.station.transfer.ReadRow, 2048);
  EXPECT_TRUE(std::equal(loaded.ProgramImage.begin(),
                         loaded.ProgramImage.begin() + kProgramRows16 * kRowBytes,
                         h.station.image.ProgramImage.begin()));
  EXPECT_EQ(h.window.log, (std::vector<std::string>{"3. Programming Program Memory ... OK",
                                                    "4. Reading Program Memory ... OK"}));
}

INSTANTIATE_TEST_SUITE_P(Types1And2, Family16Conversation, ::testing::Values(0, 1));

struct FlashCase {
  int targetType;
  std::size_t writeBlocks;
  std::size_t readBlocks;
  std::size_t readBytes;  // per read-back block
};

class FlashConversation : public Conversation, public ::testing::WithParamInterface<FlashCase> {};

TEST_P(FlashConversation, WritesAndReadsBackTheBlocksOfTheType) {
  const FlashCase c = GetParam();
  h.window.targetType = c.targetType;
  programmer.flashReadBytes = c.readBytes;
  FillBytes();
  const MemoryImage loaded = h.station.image;

  frames.FlashWriteData();
  Run();
  EXPECT_EQ(programmer.flash.size(), c.writeBlocks * 4096);
  EXPECT_TRUE(
      std::equal(programmer.flash.begin(), programmer.flash.end(), loaded.ProgramImage.begin()));
  EXPECT_EQ(h.station.flags.flash.FlashWriteDone, 1);
  EXPECT_EQ(h.window.progress, 100);

  h.station.image.ProgramImage.fill(0xFF);
  h.station.transfer.FlashBlocks = 0;
  h.station.transfer.ReadRow = 0;
  programmer.log.clear();
  frames.FlashReadData();
  Run();
  EXPECT_EQ(programmer.log.size(), c.readBlocks);
  const std::size_t readBack = c.readBlocks * c.readBytes;
  EXPECT_TRUE(std::equal(loaded.ProgramImage.begin(), loaded.ProgramImage.begin() + readBack,
                         h.station.image.ProgramImage.begin()));
  EXPECT_EQ(h.station.image.ProgramImage[readBack], 0xFF);
  EXPECT_EQ(h.station.flags.flash.FlashReadDone, 1);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, FlashConversation,
                         ::testing::Values(FlashCase{0, 86, 171, 2048}, FlashCase{1, 9, 17, 2048},
                                           FlashCase{2, 9, 17, 2048}, FlashCase{3, 1, 1, 1024}));

}  // namespace
}  // namespace kv218

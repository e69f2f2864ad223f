// Each fault the simulated programmer commits on request, and the parsing of their names.

#include <gtest/gtest.h>

#include "host_side.h"

namespace kv218::sim::test {
namespace {

DeviceOptions WithFaults(std::vector<std::string> names) {
  DeviceOptions options = Driver::NoWait();
  std::string error;
  auto faults = FaultSet::Parse(names, error);
  EXPECT_TRUE(faults.has_value()) << error;
  if (faults) options.faults = std::move(*faults);
  return options;
}

TEST(FaultSet, ParsesEveryNameWithItsValue) {
  std::string error;
  const auto set =
      FaultSet::Parse({"silent-at=FE", "silent-at=WDD#3", "bad-identity", "corrupt-readback",
                       "corrupt-flash-readback", "short-reply", "short-reply=RI",
                       "noise-before-reply", "status-in-data", "erase-counter=99999",
                       "hangup-mid-transfer", "hangup-mid-transfer=7", "autoprogram-fails"},
                      error);
  ASSERT_TRUE(set.has_value()) << error;
  const auto& all = set->All();
  ASSERT_EQ(all.size(), 13u);
  EXPECT_EQ(all[0].command, "FE");
  EXPECT_EQ(all[0].number, 1u);
  EXPECT_EQ(all[1].command, "WDD");
  EXPECT_EQ(all[1].number, 3u);
  EXPECT_EQ(all[6].command, "RI");
  EXPECT_EQ(all[9].number, 99999u);
  EXPECT_EQ(all[10].number, 3u) << "default block";
  EXPECT_EQ(all[11].number, 7u);
}

TEST(FaultSet, RejectsUnknownNamesAndBadValuesWithAClearMessage) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"silent", "unknown fault 'silent' (known: silent-at, bad-identity"},
      {"silent-at", "needs a value"},
      {"silent-at=", "needs a value"},
      {"silent-at=WDD#0", "occurrence"},
      {"silent-at=WDD#x", "occurrence"},
      {"bad-identity=1", "takes no value"},
      {"erase-counter=lots", "needs a number"},
      {"erase-counter=4294967296", "needs a number"},
      {"hangup-mid-transfer=0", "block number"},
      {"noise-before-reply=TOOLONG", "letters"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(FaultSet::Parse({c.text}, error).has_value()) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << ": " << error;
  }
}

TEST(Faults, SilentAtSwallowsTheChosenOccurrenceOnly) {
  Driver device(WithFaults({"silent-at=FE", "silent-at=WDD#2"}));
  const auto image = PatternImage(0);
  device.model.Memory().flash.holdsImage = true;
  EXPECT_TRUE(device.Send(B({0x1F, 'F', 'E'})).empty());
  EXPECT_TRUE(device.model.Memory().flash.holdsImage) << "a swallowed frame has no effect";
  EXPECT_EQ(device.Exchange(B({0x1F, 'F', 'E'})), B({0x1F, 'F', 'E'})) << "the next one answers";

  device.Exchange(B({0x1F, 'W', 'D', 'S'}));
  EXPECT_EQ(device.Send(Type0Block(*image, 0, 256)).size(), 1u);
  EXPECT_TRUE(device.Send(Type0Block(*image, 256, 256)).empty());
  EXPECT_EQ(device.Send(Type0Block(*image, 256, 256)).size(), 1u);
}

TEST(Faults, SilentAtWithAFamilyMatchesThatTypeOnly) {
  Driver device(WithFaults({"silent-at=9E"}));
  EXPECT_EQ(device.Send(B({0x1F, '8', 'E'})).size(), 1u);
  EXPECT_TRUE(device.Send(B({0x1F, '9', 'E'})).empty());
  Driver any(WithFaults({"silent-at=E"}));
  EXPECT_TRUE(any.Send(B({0x1F, '9', 'E'})).empty()) << "plain letters match every type";
  Driver autoProgram(WithFaults({"silent-at=TA"}));
  EXPECT_TRUE(autoProgram.Send(Cat(B({0x1F, 'T', 'A'}), Bytes(1024).data(), 1024)).empty());
}

TEST(Faults, BadIdentityFailsTheHostsCheckForEveryType) {
  Driver device(WithFaults({"bad-identity"}));
  const Bytes type0 = device.Exchange(B({0x1F, 'R', 'I'}));
  ASSERT_EQ(type0.size(), 7u);
  EXPECT_NE(type0[3] + 256 * type0[4], 0x00BF);
  for (int f : {'8', '9'}) {
    const Bytes reply = device.Exchange(B({0x1F, f, 'R', 'I'}));
    ASSERT_EQ(reply.size(), 6u);
    EXPECT_FALSE(reply[5] == 0x1C && (reply[4] & 0x20)) << char(f);
  }
}

// The number of bytes in which two equally long replies differ.
std::size_t Differences(const Bytes& a, const Bytes& b) {
  EXPECT_EQ(a.size(), b.size());
  std::size_t n = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) n += a[i] != b[i];
  return n;
}

TEST(Faults, CorruptReadbackFlipsOneByteOfTheFirstBlockOfEachTargetReadBack) {
  for (const Bytes& start : {B({0x1F, 'R', 'D', 'S'}), B({0x1F, '8', 'R', 'D', 'S'})}) {
    Driver clean;
    Driver faulty(WithFaults({"corrupt-readback"}));
    Bytes data = start;
    data.back() = 'D';
    for (Driver* device : {&clean, &faulty}) device->Exchange(start);
    EXPECT_EQ(Differences(clean.Exchange(data), faulty.Exchange(data)), 1u);
    EXPECT_EQ(Differences(clean.Exchange(data), faulty.Exchange(data)), 0u) << "second block";
    for (Driver* device : {&clean, &faulty}) device->Exchange(start);
    EXPECT_EQ(Differences(clean.Exchange(data), faulty.Exchange(data)), 1u) << "next read-back";
  }
}

TEST(Faults, CorruptFlashReadbackFlipsOneByteOfBlockZero) {
  Driver clean;
  Driver faulty(WithFaults({"corrupt-flash-readback"}));
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(Differences(clean.Exchange(B({0x1F, 'F', 'R', 'D', 0})),
                          faulty.Exchange(B({0x1F, 'F', 'R', 'D', 0}))),
              1u);
    EXPECT_EQ(Differences(clean.Exchange(B({0x1F, 'F', 'R', 'D', 1})),
                          faulty.Exchange(B({0x1F, 'F', 'R', 'D', 1}))),
              0u);
  }
}

TEST(Faults, ShortReplyHalvesThePayloadOfDataAnswers) {
  const struct {
    const char* fault;
    Bytes frame;
    std::size_t size;
  } cases[] = {
      {"short-reply", B({0x1F, 'R', 'D', 'D'}), 4 + 1536},
      {"short-reply", B({0x1F, '9', 'R', 'D', 'D'}), 5 + 512},
      {"short-reply", B({0x1F, 'F', 'R', 'D', 3}), 4 + 1024},
      {"short-reply", B({0x1F, 'R', 'C'}), 3 + 6},
      {"short-reply", B({0x1F, 'F', 'R', 'C'}), 4 + 6},
      {"short-reply", B({0x1F, 'R', 'I'}), 7},  // not a data answer unless named
      {"short-reply=RI", B({0x1F, 'R', 'I'}), 3 + 2},
      {"short-reply=RI", B({0x1F, 'R', 'D', 'D'}), 4 + 3072},
  };
  for (const auto& c : cases) {
    Driver device(WithFaults({c.fault}));
    const Bytes reply = device.Exchange(c.frame);
    EXPECT_EQ(reply.size(), c.size) << c.fault << " " << char(c.frame[1]);
    EXPECT_EQ(Header(reply, 3), Header(c.frame, 3));
  }
}

TEST(Faults, NoiseBeforeReplyPutsTwoBytesAheadOfTheAnswerInTheSameBurst) {
  Driver all(WithFaults({"noise-before-reply"}));
  const Bytes reply = all.Exchange(B({0x1F, 'R', 'I'}));
  EXPECT_EQ(Header(reply, 5), B({0x55, 0xAA, 0x1F, 'R', 'I'}));
  EXPECT_EQ(reply.size(), 2u + 7u);

  Driver onlyErase(WithFaults({"noise-before-reply=FE"}));
  EXPECT_EQ(onlyErase.Exchange(B({0x1F, 'F', 'E'})), B({0x55, 0xAA, 0x1F, 'F', 'E'}));
  EXPECT_EQ(onlyErase.Exchange(B({0x1F, 'E'})), B({0x1F, 'E', 0x00}));
}

TEST(Faults, StatusInDataPutsAReportInTheMiddleOfEveryReadBackBlock) {
  Driver device(WithFaults({"status-in-data"}));
  device.Exchange(B({0x1F, 'R', 'D', 'S'}));
  for (int n = 1; n <= 2; ++n) {
    const Bytes reply = device.Exchange(B({0x1F, 'R', 'D', 'D'}));
    ASSERT_EQ(reply.size(), 4u + 3072u + 5u);
    EXPECT_EQ(Bytes(reply.begin() + 4 + 1536, reply.begin() + 4 + 1536 + 5),
              B({0x1B, 'S', 0x02, 0x00, n}));
  }
  const Bytes flash = device.Exchange(B({0x1F, 'F', 'R', 'D', 0}));
  ASSERT_EQ(flash.size(), 4u + 2048u + 5u);
  EXPECT_EQ(Bytes(flash.begin() + 4 + 1024, flash.begin() + 4 + 1024 + 3), B({0x1B, 'S', 0x02}));
  EXPECT_EQ(device.Exchange(B({0x1F, 'R', 'C'})).size(), 15u) << "not a read-back block";
}

TEST(Faults, EraseCounterSetsTheReportedCount) {
  for (const auto& [text, bytes] :
       {std::pair{"erase-counter=99999", B({0x00, 0x01, 0x86, 0x9F})},
        std::pair{"erase-counter=100000", B({0x00, 0x01, 0x86, 0xA0})}}) {
    Driver device(WithFaults({text}));
    EXPECT_EQ(device.Exchange(B({0x1F, 'F', 'R', 'E'})),
              Cat(B({0x1F, 'F', 'R', 'E'}), bytes.data(), 4));
  }
}

TEST(Faults, HangupMidTransferDropsTheLineAtTheChosenBlockAndSaysNothingMore) {
  Driver device(WithFaults({"hangup-mid-transfer=2"}));
  const auto image = PatternImage(0);
  device.Exchange(B({0x1F, 'F', 'E'}));
  EXPECT_EQ(device.Exchange(FlashWrite(*image, 0)), B({0x1F, 'F', 'W', 'D'}));
  EXPECT_EQ(device.hangUps, 0);
  const auto bursts = device.Send(FlashWrite(*image, 1));
  EXPECT_EQ(device.hangUps, 1);
  EXPECT_EQ(bursts.size(), 1u) << "the hang-up itself";
  EXPECT_TRUE(bursts.front().empty());
  EXPECT_TRUE(device.Send(B({0x1F, 'R', 'I'})).empty());
}

TEST(Faults, AutoProgramFailsAnswersResultZero) {
  Driver device(WithFaults({"autoprogram-fails"}));
  EXPECT_EQ(device.Exchange(Cat(B({0x1F, 'T', 'A'}), Bytes(1024).data(), 1024)),
            B({0x1F, 'T', 'A', 0x00}));
}

}  // namespace
}  // namespace kv218::sim::test

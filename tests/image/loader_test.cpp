// The loaders end to end: file in, image, checksums, panel, log result and gauge out.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image/checksums.h"
#include "image/file_lines.h"
#include "image/sha256.h"
#include "loader_fixture.h"

namespace kv218 {
namespace {

using testing::DataLine;
using testing::kEndLine;
using testing::LinearLine;
using testing::LoaderTest;

// ---- Files without records: the figures every operator knows by heart.

struct EmptyCase {
  const char* name;
  int targetType;
  int biasFlag;
  std::uint16_t imageChecksum;
  std::uint16_t byteChecksum;
  const char* panel;
  const char* result;
  int finalProgress;
};

class EmptyFileTest : public LoaderTest, public ::testing::WithParamInterface<EmptyCase> {};

TEST_P(EmptyFileTest, GivesTheBlankFigures) {
  const EmptyCase& c = GetParam();
  for (const std::string& text : {std::string{}, kEndLine + "\r\n"}) {
    window = {};
    image->ChecksumBiasFlag = c.biasFlag;
    const auto result = LoadText(c.targetType, folder.Write("empty.hex", text));
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(image->ImageChecksum, c.imageChecksum);
    EXPECT_EQ(image->ByteChecksum, c.byteChecksum);
    EXPECT_EQ(window.panels[4], c.panel);
    EXPECT_EQ(LastLine(), std::string("Loading ...") + c.result);
    EXPECT_EQ(window.progress, text.empty() ? c.finalProgress : 100);
    EXPECT_TRUE(window.errors.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Types, EmptyFileTest,
    ::testing::Values(EmptyCase{"Type0", 0, 0, 0x5400, 0x03BC, "5400",
                                " OK ( 0x0 - 0x000000 , 0x5400 , 0x09B8 , 0x03bc )", 0},
                      EmptyCase{"Type1Unbiased", 1, 0, 0x79C4, 0x79C4, "13EA",
                                " OK ( 0x0 - 0x007FFF , 0x79c4 )", 0},
                      EmptyCase{"Type1Biased", 1, 1, 0x13EA, 0x13EA, "13EA",
                                " OK ( 0x0 - 0x007FFF , 0x79c4 )", 0},
                      EmptyCase{"Type2", 2, 1, 0x79C4, 0x79C4, "79C4",
                                " OK ( 0x0 - 0x007FFF , 0x79c4 )", 0},
                      EmptyCase{"Type3", 3, 0, 0xFC00, 0, "FC00", " OK ", 100}),
    [](const ::testing::TestParamInfo<EmptyCase>& p) { return std::string(p.param.name); });

TEST_F(LoaderTest, EmptyType0FileSetsTheConfigurationFigures) {
  image->HighestAddress = 0x1234;  // left by an earlier load
  image->ConfigBytes.fill(0);
  ASSERT_TRUE(Load(0, {}).ok());
  EXPECT_EQ(image->ConfigChecksum, 0x09B8);
  EXPECT_EQ(image->HighestAddress, 0);
  const std::array<std::uint8_t, 12> masked = {0xCF, 0xCF, 0x07, 0xA7, 0xC7, 0xDF,
                                               0xE7, 0xE3, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(image->ConfigBytes, masked);
}

TEST_F(LoaderTest, Type1KeepsTheBiasFlagAndShowsTheBiasedValue) {
  image->ChecksumBiasFlag = 0;
  ASSERT_TRUE(Load(1, {kEndLine}).ok());
  EXPECT_EQ(image->BiasedDisplay, 0x13EA);
  EXPECT_EQ(image->ChecksumBiasFlag, 0);
}

// ---- Where the bytes of a record land.

struct PlacementCase {
  const char* name;
  int targetType;
  std::vector<std::string> lines;
  std::size_t offset;
  std::vector<std::uint8_t> expected;  // image bytes from offset on
};

class PlacementTest : public LoaderTest, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(PlacementTest, PutsTheBytesWhereTheLayoutSays) {
  const PlacementCase& c = GetParam();
  image->ProgramImage.fill(0x5A);  // what no blank routine writes shows through
  std::string text;
  for (const auto& line : c.lines) text += line + "\n";
  const auto result = LoadText(c.targetType, folder.Write("placed.hex", text));
  ASSERT_TRUE(result.ok()) << result.error;
  for (std::size_t i = 0; i < c.expected.size(); ++i) {
    EXPECT_EQ(At(c.offset + i), c.expected[i]) << "offset 0x" << Hex(c.offset + i, 5);
  }
}

std::vector<std::uint8_t> Counting(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PlacementTest,
    ::testing::Values(
        PlacementCase{"Type0GroupReversed", 0, {DataLine(0, {1, 2, 3, 0})}, 0, {0, 3, 2, 1}},
        PlacementCase{"Type0LastGroupOfTheWindow",
                      0,
                      {LinearLine(0x0005), DataLine(0x57FC, {0xAA, 0xBB, 0xCC, 0})},
                      0x557F8,
                      {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0xCC, 0xBB, 0xAA, 0x00}},
        PlacementCase{"Type0PastTheWindowIgnored",
                      0,
                      {LinearLine(0x0005), DataLine(0x5800, {1, 2, 3, 4})},
                      0x55800,
                      {0, 0, 0, 0}},
        PlacementCase{"Type0SegmentAddress",
                      0,
                      {testing::HexLine(2, 0, {0x10, 0x00}), DataLine(0x0010, {1, 2, 3, 0})},
                      0x10010,
                      {0, 3, 2, 1}},
        PlacementCase{"Type0UnalignedStartIsContiguous",
                      0,
                      {DataLine(2, {1, 2, 3, 4})},
                      0,
                      {0x00, 0xFF, 4, 3, 2, 1, 0xFF, 0xFF}},
        PlacementCase{"Type0ShortLastGroupKeepsTheBlank",
                      0,
                      {DataLine(0, {1, 2, 3, 0, 5, 6})},
                      0,
                      {0, 3, 2, 1, 0x00, 0xFF, 6, 5}},
        PlacementCase{"Type0LongRecordPlacedWhole",
                      0,
                      {DataLine(0x100, Counting(255, 1))},
                      0x100,
                      {4, 3, 2, 1, 8, 7, 6, 5}},
        PlacementCase{"Type0LongRecordTail",
                      0,
                      {DataLine(0x100, Counting(255, 1))},
                      0x1F8,
                      {0xFC, 0xFB, 0xFA, 0xF9, 0x00, 0xFF, 0xFE, 0xFD, 0x00, 0xFF}},
        PlacementCase{"Type0LongRecordRunsPastTheWindow",
                      0,
                      {LinearLine(0x0005), DataLine(0x57FC, Counting(255, 1))},
                      0x557FC,
                      {4, 3, 2, 1, 8, 7, 6, 5}},
        PlacementCase{"Type1WordsSwapped", 1, {DataLine(0, {0x34, 0x12})}, 0, {0x12, 0x34}},
        PlacementCase{"Type2WordsSwapped", 2, {DataLine(0, {0x34, 0x12})}, 0, {0x12, 0x34}},
        PlacementCase{
            "Type1OddStart", 1, {DataLine(0x11, {0xAB, 0xCD})}, 0x10, {0xAB, 0xFF, 0xFF, 0xCD}},
        PlacementCase{"Type1LongRecordPlacedWhole",
                      1,
                      {DataLine(0x7000, Counting(255))},
                      0x70FC,
                      {0xFD, 0xFC, 0xFF, 0xFE, 0xFF}},
        PlacementCase{"Type1RecordRunsOnPastTheConfiguration",
                      1,
                      {DataLine(0x7FF0, Counting(20, 1))},
                      0x7FFE,
                      {0x10, 0x0F, 0x12, 0x11}},
        PlacementCase{"Type3PairsSwapped", 3, {DataLine(0xFC00, {0x34, 0x12})}, 0, {0x12, 0x34}},
        PlacementCase{"Type3OddLength", 3, {DataLine(0xFC10, {1, 2, 3})}, 0x10, {2, 1, 0xFF, 3}},
        PlacementCase{"Type3CutAtTheWindowEnd",
                      3,
                      {DataLine(0xFFFC, Counting(8, 1))},
                      0x3FC,
                      {2, 1, 4, 3, 0x5A, 0x5A}},
        PlacementCase{
            "Type3BelowTheWindowIgnored", 3, {DataLine(0xFBFE, {1, 2, 3, 4})}, 0, {0xFF, 0xFF}},
        PlacementCase{"Type3AboveTheWindowIgnored",
                      3,
                      {LinearLine(1), DataLine(0xFC00, {1, 2})},
                      0,
                      {0xFF, 0xFF}},
        PlacementCase{"LowerCaseDigits", 1, {":02000000abcd86"}, 0, {0xCD, 0xAB}},
        PlacementCase{"WrongChecksumAccepted", 1, {":02000000ABCD00"}, 0, {0xCD, 0xAB}},
        PlacementCase{"LinesAfterTheEndIgnored",
                      1,
                      {DataLine(0, {1, 2}), kEndLine, DataLine(0, {3, 4}), ":zz"},
                      0,
                      {2, 1}}),
    [](const ::testing::TestParamInfo<PlacementCase>& p) { return std::string(p.param.name); });

// ---- HighestAddress and the configuration registers.

TEST_F(LoaderTest, HighestAddressFollowsRecordStarts) {
  ASSERT_TRUE(Load(0, {DataLine(0x200, {1, 2, 3, 0}), DataLine(0x100, Counting(255))}).ok());
  EXPECT_EQ(image->HighestAddress, 0x100);
  EXPECT_EQ(LastLine().substr(0, 25), "Loading ... OK ( 0x0 - 0x");
  EXPECT_NE(LastLine().find("0x000100 ,"), std::string::npos) << LastLine();
}

TEST_F(LoaderTest, Type0ConfigurationSegmentSetsMaskedRegisters) {
  ASSERT_TRUE(Load(0, {LinearLine(0x01F0), DataLine(0x0008, {0xC7, 0xFF, 0, 0}),
                       DataLine(0x0020, {0x12, 0, 0, 0, 0, 0}), DataLine(0x0030, {0x34, 0, 0, 0}),
                       kEndLine})
                  .ok());
  EXPECT_EQ(image->ConfigBytes[2], 0x07);
  EXPECT_EQ(image->ConfigBytes[8], 0x12);                  // not masked
  EXPECT_EQ(image->ConfigChecksum, 0x09B8 - 0xFF + 0x12);  // register 12 does not exist
  EXPECT_EQ(image->ByteChecksum, 0x03BC);                  // registers 8..11 are not in it
}

TEST_F(LoaderTest, Type0ConfigurationNumberAbove32BitsFails) {
  const auto result = Load(0, {LinearLine(0x01F0), DataLine(0x0004, {0xC7, 0, 0, 0, 0x01})});
  EXPECT_EQ(result.status, LoadStatus::Failed);
  EXPECT_EQ(result.error, "'0x01000000C7' is not a valid integer value");
  EXPECT_EQ(window.errors, std::vector<std::string>{result.error});
}

TEST_F(LoaderTest, Type1ConfigurationRegistersFromTheirOwnAddresses) {
  image->ConfigBytes[4] = 0x77;  // left by an earlier read-back
  image->ConfigBytes[11] = 0x99;
  ASSERT_TRUE(Load(1, {DataLine(0x7FF8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
                       DataLine(0x8003, {0x42}), DataLine(0x8004, {0x43}), kEndLine})
                  .ok());
  const std::array<std::uint8_t, 12> expected = {0xE1, 0x04, 0xC7, 0x0F, 0x77, 0x01,
                                                 0,    0,    0,    0,    0,    0x42};
  EXPECT_EQ(image->ConfigBytes, expected);
  // The unmasked registers 1,0,3,2,5,4 in the image; 0x7FFE and 0x7FFF stay blank.
  const std::vector<std::uint8_t> copy(&image->ProgramImage[0x7FF8], &image->ProgramImage[0x8000]);
  EXPECT_EQ(copy, (std::vector<std::uint8_t>{0x04, 0xFF, 0x0F, 0xC7, 0x01, 0x77, 0xFF, 0xFF}));
}

TEST_F(LoaderTest, Type3LeavesConfigurationAndType0FiguresAlone) {
  image->ConfigBytes.fill(0x11);
  image->HighestAddress = 0x1234;
  image->ByteChecksum = 0x5678;
  image->ConfigChecksum = 0x9ABC;
  ASSERT_TRUE(Load(3, {DataLine(0xFC00, {1, 2}), kEndLine}).ok());
  EXPECT_EQ(image->ConfigBytes[0], 0x11);
  EXPECT_EQ(image->HighestAddress, 0x1234);
  EXPECT_EQ(image->ByteChecksum, 0x5678);
  EXPECT_EQ(image->ConfigChecksum, 0x9ABC);
  EXPECT_EQ(image->ImageChecksum, 0xFC00 - 2 * 0xFF + 3);
}

// ---- The gauge and the message loop: whenever the share of lines read changes, up to the end
// record.

TEST_F(LoaderTest, GaugeAndPumpFollowTheLinesRead) {
  ASSERT_TRUE(Load(0, {"", DataLine(0, {1, 2, 3, 0}), "comment", kEndLine, DataLine(4, {1})}).ok());
  EXPECT_EQ(window.progressCalls, (std::vector<int>{0, 20, 40, 60, 80}));
  EXPECT_EQ(loop.pumps, 4);
}

TEST_F(LoaderTest, LongFileMovesGaugeOncePerPercent) {
  std::string text;
  for (int i = 0; i < 249; ++i)
    text += DataLine(static_cast<std::uint16_t>(4 * i), {1, 2, 3, 0}) + "\r\n";
  text += kEndLine + "\r\n";
  ASSERT_TRUE(LoadText(0, folder.Write("long.hex", text)).ok());
  std::vector<int> expected = {0};  // the loader's start
  for (int percent = 0; percent <= 100; ++percent) expected.push_back(percent);
  EXPECT_EQ(window.progressCalls, expected);
  EXPECT_EQ(loop.pumps, 101);
}

TEST_F(LoaderTest, Type3GaugeEndsAt100) {
  ASSERT_TRUE(Load(3, {DataLine(0xFC00, {1, 2}), kEndLine, "", ""}).ok());
  EXPECT_EQ(window.progressCalls, (std::vector<int>{0, 25, 50, 100}));
}

TEST_F(LoaderTest, ALineLoggedWhileLoadingTakesTheResult) {
  loop.onPump = [this] {
    if (loop.pumps == 1) window.AppendLog("<<NOTE>> from the programmer");
  };
  ASSERT_TRUE(Load(3, {kEndLine}).ok());
  EXPECT_EQ(LastLine(), "<<NOTE>> from the programmer OK ");
}

TEST_F(LoaderTest, EveryLineEndingCounts) {
  const std::string records[] = {DataLine(0, {0x34, 0x12}), DataLine(2, {0x78, 0x56}), kEndLine};
  for (const char* ending : {"\r\n", "\n", "\r"}) {
    const std::string text = records[0] + ending + records[1] + ending + records[2];
    window = {};
    image->ProgramImage.fill(0);
    ASSERT_TRUE(LoadText(2, folder.Write("endings.hex", text)).ok());
    EXPECT_EQ(window.progressCalls, (std::vector<int>{0, 33, 66, 100}));
    EXPECT_EQ(At(0), 0x12);
    EXPECT_EQ(At(3), 0x78);
  }
}

TEST_F(LoaderTest, MixedLineEndingsEachEndOneLine) {
  // CR CR LF is a line and an empty one; LF CR the same.
  const std::string text =
      DataLine(0, {0x34, 0x12}) + "\r\r\n" + DataLine(2, {0x78, 0x56}) + "\n\r" + kEndLine + "\r";
  ASSERT_TRUE(LoadText(2, folder.Write("mixed.hex", text)).ok());
  EXPECT_EQ(window.progressCalls, (std::vector<int>{0, 20, 40, 60, 80, 100}));
  EXPECT_EQ(At(0), 0x12);
  EXPECT_EQ(At(3), 0x78);
}

// ---- Strict mode: record checksums verified.

struct StrictCase {
  const char* name;
  std::vector<std::string> lines;
  std::optional<std::string> error;
};

class StrictTest : public LoaderTest, public ::testing::WithParamInterface<StrictCase> {};

TEST_P(StrictTest, RefusesBadChecksumsAndIncompleteFilesNamingTheFault) {
  const StrictCase& c = GetParam();
  std::string text;
  for (const auto& line : c.lines) text += line + "\r\n";
  const std::string path = folder.Write("strict.hex", text);
  const auto result = LoadText(1, path, LoadOptions{.strict = true});
  if (c.error) {
    std::string error = *c.error;
    if (const auto at = error.find('@'); at != std::string::npos) error.replace(at, 1, path);
    EXPECT_EQ(result.error, error);
    EXPECT_EQ(window.errors, std::vector<std::string>{error});
    EXPECT_EQ(LastLine(), "Loading ...");
  } else {
    EXPECT_TRUE(result.ok()) << result.error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, StrictTest,
    ::testing::Values(StrictCase{"Correct", {DataLine(0, {1, 2}), kEndLine}, std::nullopt},
                      StrictCase{"Wrong",
                                 {"", DataLine(0, {1, 2}), ":02000200ABCD00"},
                                 "Wrong record checksum in line 3: 0x00, expected 0x84"},
                      StrictCase{"Missing", {":02000000ABCD"}, "Missing record checksum in line 1"},
                      StrictCase{"WrongEndRecord",
                                 {":00000001FE"},
                                 "Wrong record checksum in line 1: 0xFE, expected 0xFF"},
                      // A file cut short, an empty one, a file that is no HEX file at all.
                      StrictCase{"NoEndRecord",
                                 {DataLine(0, {1, 2}), DataLine(2, {3, 4})},
                                 "No end-of-file record in @"},
                      StrictCase{"NoDataRecords", {kEndLine}, "No data records in @"},
                      StrictCase{"NoRecordAtAll",
                                 {"# README", "", "Nothing to program here."},
                                 "No data records and no end-of-file record in @"},
                      StrictCase{"DataAfterTheEndDoesNotCount",
                                 {kEndLine, DataLine(0, {1, 2})},
                                 "No data records in @"}),
    [](const ::testing::TestParamInfo<StrictCase>& p) { return std::string(p.param.name); });

// ---- What a file held: the window loads every such file as before; the result tells.

struct CountCase {
  const char* name;
  int targetType;
  std::vector<std::string> lines;
  RecordCounts counts;
};

class RecordCountTest : public LoaderTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(RecordCountTest, TellsWhatTheFileHeldAndLoadsAsBefore) {
  const CountCase& c = GetParam();
  std::string text;
  for (const auto& line : c.lines) text += line + "\r\n";
  const auto result = LoadText(c.targetType, folder.Write("counted.hex", text));
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_TRUE(window.errors.empty());
  EXPECT_NE(LastLine(), "Loading ...");  // the result was appended
  EXPECT_EQ(result.counts.dataRecords, c.counts.dataRecords);
  EXPECT_EQ(result.counts.endRecord, c.counts.endRecord);
  EXPECT_EQ(result.counts.ignoredRecords, c.counts.ignoredRecords);
  EXPECT_EQ(result.counts.badChecksums, c.counts.badChecksums);
  EXPECT_EQ(result.counts.firstBadChecksumLine, c.counts.firstBadChecksumLine);
  if (c.counts.ignoredRecords == 0) return;
  EXPECT_EQ(result.counts.ignoredFirst, c.counts.ignoredFirst);
  EXPECT_EQ(result.counts.ignoredLast, c.counts.ignoredLast);
  EXPECT_EQ(result.counts.ignoredFitTypes, c.counts.ignoredFitTypes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordCountTest,
    ::testing::Values(
        CountCase{"Empty", 0, {}, {.endRecord = false, .dataRecords = 0, .ignoredRecords = 0}},
        CountCase{"Complete",
                  1,
                  {DataLine(0, {1, 2}), DataLine(0x7FF8, {0xE1}), kEndLine},
                  {.endRecord = true, .dataRecords = 2, .ignoredRecords = 0}},
        CountCase{"CutShort",
                  2,
                  {DataLine(0, {1, 2}), DataLine(2, {3, 4})},
                  {.endRecord = false, .dataRecords = 2, .ignoredRecords = 0}},
        // Checksums that do not match, or are missing, are counted (the end record's too);
        // lines without ':' are no records at all.
        CountCase{
            "WrongChecksums",
            2,
            {"; comment", DataLine(0, {1, 2}), ":02000200ABCD00", ":02000400ABCD", ":00000001FE"},
            {.endRecord = true,
             .dataRecords = 3,
             .ignoredRecords = 0,
             .badChecksums = 3,
             .firstBadChecksumLine = 3}},
        // Type 0: another segment, and a configuration register beyond the twelve; no type
        // has room for either.
        CountCase{
            "Type0Outside",
            0,
            {DataLine(0, {1, 2, 3, 0}), LinearLine(0x0100), DataLine(0, {1, 2, 3, 0}),
             LinearLine(0x01F0), DataLine(0x0008, {0xC7}), DataLine(0x0030, {0x11}), kEndLine},
            {.endRecord = true,
             .dataRecords = 4,
             .ignoredRecords = 2,
             .ignoredFirst = 0x1000000,
             .ignoredLast = 0x1F00030,
             .ignoredFitTypes = 0}},
        // Type-0 program memory: the range runs to the last byte of the highest record.
        CountCase{"Type1BeyondTheRegisters",
                  1,
                  {DataLine(0x9000, {1, 2}), DataLine(0x8004, {1}), kEndLine},
                  {.endRecord = true,
                   .dataRecords = 2,
                   .ignoredRecords = 2,
                   .ignoredFirst = 0x8004,
                   .ignoredLast = 0x9001,
                   .ignoredFitTypes = 0b0001}},
        // 0x0000 fits every other type, 0xFBFE only type 0: what fits them all is type 0.
        CountCase{"Type3OutsideTheWindow",
                  3,
                  {DataLine(0x0000, {1, 2}), DataLine(0xFC00, {1, 2}), DataLine(0xFBFE, {1, 2}),
                   kEndLine, DataLine(0x0000, {1, 2})},
                  {.endRecord = true,
                   .dataRecords = 3,
                   .ignoredRecords = 2,
                   .ignoredFirst = 0x0000,
                   .ignoredLast = 0xFBFF,
                   .ignoredFitTypes = 0b0001}},
        CountCase{"Type3AFileOfType1",
                  3,
                  {DataLine(0x0100, {1, 2}), DataLine(0x7FF8, {0xE1}), kEndLine},
                  {.endRecord = true,
                   .dataRecords = 2,
                   .ignoredRecords = 2,
                   .ignoredFirst = 0x0100,
                   .ignoredLast = 0x7FF8,
                   .ignoredFitTypes = 0b0111}}),
    [](const ::testing::TestParamInfo<CountCase>& p) { return std::string(p.param.name); });

// ---- Lines that are no record: every one accounted for.

struct SkippedCase {
  const char* name;
  std::string text;  // the file, before a data record at 0 and the end record
  bool firstLoads;   // the data record's bytes reach the image
  std::size_t damaged, firstDamagedLine, skipped;
};

class SkippedLineTest : public LoaderTest, public ::testing::WithParamInterface<SkippedCase> {};

TEST_P(SkippedLineTest, CountsDamagedRecordsAndCommentsAndStrictRefusesDamage) {
  const SkippedCase& c = GetParam();
  const std::string text = c.text + DataLine(0, {0x34, 0x12}) + "\r\n" + kEndLine + "\r\n";
  const auto result = LoadText(1, folder.Write("skipped.hex", text));
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(At(0) == 0x12 && At(1) == 0x34, c.firstLoads);
  EXPECT_EQ(result.counts.damagedRecords, c.damaged);
  EXPECT_EQ(result.counts.firstDamagedLine, c.firstDamagedLine);
  EXPECT_EQ(result.counts.skippedLines, c.skipped);

  window = {};
  const auto strict = LoadText(1, folder.Write("skipped.hex", text), LoadOptions{.strict = true});
  if (c.damaged == 0) {
    EXPECT_TRUE(strict.ok()) << strict.error;
  } else {
    EXPECT_EQ(strict.error, "Damaged record in line " + std::to_string(c.firstDamagedLine) +
                                ": bytes before its ':'");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, SkippedLineTest,
    ::testing::Values(
        // A Windows editor's byte-order mark is no part of the first record.
        SkippedCase{"ByteOrderMark", "\xEF\xBB\xBF", true, 0, 0, 0},
        SkippedCase{"ByteOrderMarkBeforeAComment", "\xEF\xBB\xBF# built\r\n", true, 0, 0, 1},
        SkippedCase{"CommentAndBlankLines", "# image for the MVRx\r\n\r\n \t\r\n", true, 0, 0, 1},
        // A colon without a record's header after it: a path, a time.
        SkippedCase{"ColonsInAComment", "; C:\\fw\\a.hex at 12:30:45 for DEADBEE:F\r\n", true, 0, 0,
                    1},
        // Bytes before the ':' damage the record: it is counted, not loaded as a comment.
        SkippedCase{"LeadingBlank", " ", false, 1, 1, 0},
        SkippedCase{"StrayCharacter", "# header\r\nx", false, 1, 2, 1},
        SkippedCase{"NulBytes", std::string("\0\0\0", 3), false, 1, 1, 0},
        SkippedCase{"MarkInTheMiddle", DataLine(2, {1, 2}) + "\r\n\xEF\xBB\xBF", false, 1, 2, 0},
        SkippedCase{"SeveralDamaged", " " + DataLine(4, {1, 2}) + "\r\n\t", false, 2, 1, 0}),
    [](const ::testing::TestParamInfo<SkippedCase>& p) { return std::string(p.param.name); });

// ---- The digest: of the very bytes the records were read from.

std::string DigestOf(const std::string& bytes) {
  Sha256 hash;
  hash.Update(bytes);
  return DigestText(hash.Finish());
}

// Type-1 records over the 32 KB memory, read in several pieces, and a line past the end.
std::string LongFile() {
  std::string text;
  for (std::uint16_t address = 0; address < 0x7000; address += 16) {
    text +=
        DataLine(address, std::vector<std::uint8_t>(16, static_cast<std::uint8_t>(address >> 4))) +
        "\r\n";
  }
  return text + kEndLine + "\r\n# after the end\r\n";
}

TEST_F(LoaderTest, TheDigestIsOfTheBytesReadAndAFileRewrittenMeanwhileIsNotMisnamed) {
  const std::string text = LongFile();
  ASSERT_GT(text.size(), 2 * FileLines::kPieceBytes + 1000);
  const std::string path = folder.Write("long.hex", text);
  const auto whole = LoadText(1, path);
  ASSERT_TRUE(whole.ok()) << whole.error;
  EXPECT_EQ(whole.sha256, DigestOf(text));  // the lines after the end record included
  const std::uint16_t checksum = image->ByteChecksum;

  // Rewritten in place after the first piece was read (the first pump comes after the first
  // line): the records and the digest are both of what was read, old start and new rest.
  std::string other = text;
  const std::size_t changed = 2 * FileLines::kPieceBytes;
  other[other.find(':', changed) + 9] = other[other.find(':', changed) + 9] == '0' ? '1' : '0';
  bool rewritten = false;
  loop.onPump = [&] {
    if (!std::exchange(rewritten, true)) folder.Write("long.hex", other);
  };
  const auto mixed = LoadText(1, path);
  ASSERT_TRUE(mixed.ok()) << mixed.error;
  EXPECT_EQ(mixed.sha256, DigestOf(text.substr(0, FileLines::kPieceBytes) +
                                   other.substr(FileLines::kPieceBytes)));
  EXPECT_NE(image->ByteChecksum, checksum);

  // Rewritten longer: what was read is neither file, and the load is refused.
  rewritten = false;
  loop.onPump = [&] {
    if (!std::exchange(rewritten, true))
      folder.Write("long.hex", DataLine(0, {1, 2}) + "\r\n" + text);
  };
  const auto grown = LoadText(1, path);
  EXPECT_EQ(grown.error, "Cannot load " + path + ": it changed while it was read");
  EXPECT_EQ(grown.sha256, std::nullopt);
}

// ---- Failures: the message, and the image left as the first step set it.

TEST_F(LoaderTest, MissingFileStopsAfterTheBlankImage) {
  for (int type : {0, 1, 2, 3}) {
    window = {};
    image->ProgramImage.fill(0x5A);
    image->ImageChecksum = 0x1111;
    const std::string path = Utf8FromPath(folder.path() / "absent.hex");
    const auto result = LoadText(type, path);
    EXPECT_EQ(result.status, LoadStatus::Failed);
    EXPECT_EQ(window.errors, std::vector<std::string>{"Cannot open file " + path});
    EXPECT_EQ(window.progressCalls, std::vector<int>{0});
    EXPECT_EQ(window.panels[4], "N/A");
    EXPECT_EQ(LastLine(), "Loading ...");
    EXPECT_EQ(image->ImageChecksum, 0x1111);
    EXPECT_EQ(At(1), 0xFF) << "type " << type;
  }
  EXPECT_EQ(image->HighestAddress, 0x7FFF);  // type 2 set it before reading
}

// Only a regular file of at most kMaxHexFileBytes is read (pipes and devices: the special
// files test); one too large (a disk image, a sparse file of gigabytes) is refused by its size.
TEST_F(LoaderTest, AFolderOrAFileTooLargeCannotBeOpened) {
  const std::string oversized = folder.Write("huge.hex", "");
  const std::string sparse = folder.Write("sparse.hex", "");
  std::filesystem::resize_file(PathFromUtf8(oversized), kMaxHexFileBytes + 1);
  std::filesystem::resize_file(PathFromUtf8(sparse), std::uintmax_t{3} << 30);
  const std::string tooLarge = ": larger than a HEX file can be (16 MB)";
  for (const auto& [path, reason] : {std::pair{Utf8FromPath(folder.path()), std::string()},
                                     std::pair{oversized, tooLarge}, std::pair{sparse, tooLarge}}) {
    window = {};
    const auto result = LoadText(0, path);
    EXPECT_EQ(result.status, LoadStatus::Failed) << path;
    EXPECT_EQ(window.errors, std::vector<std::string>{"Cannot open file " + path + reason});
    EXPECT_EQ(LastLine(), "Loading ...");
  }
}

TEST_F(LoaderTest, AFileOfTheLargestSizeStillLoads) {
  const std::string path = folder.Write("large.hex", DataLine(0, {1, 2, 3, 4}) + "\r\n");
  // The rest: NUL bytes, no record.
  std::filesystem::resize_file(PathFromUtf8(path), kMaxHexFileBytes);
  const auto result = LoadText(0, path);
  EXPECT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(At(0), 4);
}

TEST_F(LoaderTest, ABadLineStopsTheLoadKeepingEarlierRecords) {
  image->ImageChecksum = 0x1111;
  const auto result = Load(0, {DataLine(0, {1, 2, 3, 0}), ":0400040001020300  ", kEndLine});
  EXPECT_EQ(result.error, "'0x  ' is not a valid integer value");
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_EQ(At(3), 1);
  EXPECT_EQ(image->ImageChecksum, 0x1111);
  EXPECT_EQ(window.panels[4], "N/A");
  EXPECT_EQ(LastLine(), "Loading ...");
  EXPECT_EQ(window.progress, 66);
}

TEST_F(LoaderTest, AShortRecordIsAnError) {
  const auto result = Load(1, {":10000000000102030405"});
  EXPECT_EQ(result.error, "'0x' is not a valid integer value");
}

TEST_F(LoaderTest, NoLoaderForAnUnknownType) {
  for (int type : {-1, 4}) {
    const auto result = Load(type, {DataLine(0, {1, 2})});
    EXPECT_EQ(result.status, LoadStatus::NoLoader);
    EXPECT_TRUE(window.progressCalls.empty());
    EXPECT_EQ(At(0), 0);
  }
}

TEST_F(LoaderTest, LoadingLinesOpenTheLog) {
  AppendLoadingLines(window, "/tmp/a.hex");
  EXPECT_EQ(window.log, (std::vector<std::string>{"", "/tmp/a.hex", "Loading ..."}));
}

}  // namespace
}  // namespace kv218

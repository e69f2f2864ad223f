// The phrases of a suspect load, shared by the command line's notes and the window's warnings.

#include "image/load_findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv218 {
namespace {

struct FindingCase {
  const char* name;
  LoadStatus status;
  RecordCounts counts;
  TargetType type;
  std::vector<std::string> findings;
};

class LoadFindingsTest : public ::testing::TestWithParam<FindingCase> {};

TEST_P(LoadFindingsTest, NameWhatTheLoadNoticed) {
  const FindingCase& c = GetParam();
  LoadResult result;
  result.status = c.status;
  result.counts = c.counts;
  EXPECT_EQ(LoadFindings(result, c.type), c.findings);
}

constexpr RecordCounts kSound{.endRecord = true, .dataRecords = 3};

INSTANTIATE_TEST_SUITE_P(
    Loads, LoadFindingsTest,
    ::testing::Values(
        FindingCase{"Sound", LoadStatus::Loaded, kSound, TargetType::TkSeries, {}},
        FindingCase{"TextFile",
                    LoadStatus::Loaded,
                    {},
                    TargetType::TkSeries,
                    {"no data records", "no end-of-file record"}},
        FindingCase{"EndRecordOnly",
                    LoadStatus::Loaded,
                    {.endRecord = true},
                    TargetType::EcoMode,
                    {"no data records"}},
        // A failed load has shown its error; a type without a loader read nothing.
        FindingCase{"Failed", LoadStatus::Failed, {}, TargetType::TkSeries, {}},
        FindingCase{"NoLoader", LoadStatus::NoLoader, {}, TargetType::None, {}},
        FindingCase{"Type0FileAsType2",
                    LoadStatus::Loaded,
                    {.endRecord = true,
                     .dataRecords = 40,
                     .ignoredRecords = 36,
                     .ignoredFirst = 0x8000,
                     .ignoredLast = 0x557FF,
                     .ignoredFitTypes = 0b0001},
                    TargetType::CradleSet,
                    {"36 records outside the memory of Cradle Set ignored (0x8000 - 0x557FF; "
                     "they fit TK Series)"}},
        // The smallest memory that has room for them is named.
        FindingCase{"Type1FileAsType3",
                    LoadStatus::Loaded,
                    {.endRecord = true,
                     .dataRecords = 9,
                     .ignoredRecords = 9,
                     .ignoredFirst = 0x0,
                     .ignoredLast = 0x7FF8,
                     .ignoredFitTypes = 0b0111},
                    TargetType::EcoMode,
                    {"9 records outside the memory of Eco Mode ignored (0x0000 - 0x7FF8; they "
                     "fit MVRx Series or Cradle Set)"}},
        FindingCase{"Type3FileAsType1",
                    LoadStatus::Loaded,
                    {.endRecord = false,
                     .dataRecords = 1,
                     .ignoredRecords = 1,
                     .ignoredFirst = 0xFC00,
                     .ignoredLast = 0xFC0F,
                     .ignoredFitTypes = 0b1001},
                    TargetType::MvrxSeries,
                    {"no end-of-file record",
                     "1 record outside the memory of MVRx Series ignored (0xFC00 - 0xFC0F; it "
                     "fits Eco Mode)"}},
        // Records behind stray bytes were not loaded: the file is not what it seems.
        FindingCase{
            "OneDamagedRecord",
            LoadStatus::Loaded,
            {.endRecord = true, .dataRecords = 2, .damagedRecords = 1, .firstDamagedLine = 1},
            TargetType::TkSeries,
            {"1 damaged record not loaded (bytes before its ':', in line 1)"}},
        FindingCase{
            "DamagedRecords",
            LoadStatus::Loaded,
            {.endRecord = true, .dataRecords = 2, .damagedRecords = 3, .firstDamagedLine = 7},
            TargetType::TkSeries,
            {"3 damaged records not loaded (bytes before their ':', first in line 7)"}},
        // Comments are no finding.
        FindingCase{"Comments",
                    LoadStatus::Loaded,
                    {.endRecord = true, .dataRecords = 2, .skippedLines = 4},
                    TargetType::TkSeries,
                    {}},
        FindingCase{"FitsNoType",
                    LoadStatus::Loaded,
                    {.endRecord = true,
                     .dataRecords = 2,
                     .ignoredRecords = 2,
                     .ignoredFirst = 0x1000000,
                     .ignoredLast = 0x1F00030,
                     .ignoredFitTypes = 0},
                    TargetType::TkSeries,
                    {"2 records outside the memory of TK Series ignored (0x1000000 - "
                     "0x1F00030)"}}),
    [](const ::testing::TestParamInfo<FindingCase>& p) { return std::string(p.param.name); });

TEST(SkippedLinesNoteTest, CountsCommentLinesOfALoadedFile) {
  LoadResult result;
  result.status = LoadStatus::Loaded;
  EXPECT_EQ(SkippedLinesNote(result), std::nullopt);
  result.counts.skippedLines = 1;
  EXPECT_EQ(SkippedLinesNote(result), "1 line without a record skipped");
  result.counts.skippedLines = 3;
  EXPECT_EQ(SkippedLinesNote(result), "3 lines without a record skipped");
  result.status = LoadStatus::Failed;
  EXPECT_EQ(SkippedLinesNote(result), std::nullopt);
}

}  // namespace
}  // namespace kv218

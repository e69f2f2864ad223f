// Loading through the controller: the load button and a file named (on the command line, by a
// drop), the warnings of a suspect file, a reload that fails, the checksum panel.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/controller.h"
#include "controller_test.h"
#include "ground/utf8_path.h"
#include "test_hex.h"

namespace kv218 {
namespace {

using sim::Command;
using ::testing::StartsWith;

TEST_F(ControllerTest, ButtonsLoadProgramAndStore) {
  controller.Open();
  const std::string file = dir.Write("tk.hex", testing::Type0Hex(64, 0x2ABF8));
  LoadThroughButton(0, file);
  EXPECT_EQ(controller.station().HexFileName, file);
  EXPECT_THAT(window.log.back(), StartsWith("Loading ... OK ( 0x0 - 0x02ABF8 , 0x"));
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Succeeded);
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::Succeeded);
  EXPECT_EQ(controller.LastOutcome(), RunOutcome::Succeeded);
  EXPECT_THAT(window.log.back(), StartsWith("PROGRAMMING SUCCEEDED. ("));
  EXPECT_FALSE(controller.Running());

  window.fileChoices.push_back(std::nullopt);  // cancelled: nothing changes
  const std::size_t lines = window.log.size();
  controller.LoadFile();
  EXPECT_EQ(window.log.size(), lines);
  EXPECT_EQ(controller.station().HexFileName, file);
}

TEST_F(ControllerTest, AFileNamedLoadsAsTheButtonLoadsIt) {
  controller.Open();
  const std::string file = dir.Write("tk.hex", testing::Type0Hex(64, 0x2ABF8));
  LoadThroughButton(0, file);
  const std::vector<std::string> byButton = window.log;
  window.log.clear();
  ASSERT_TRUE(controller.LoadFileNamed(file));
  EXPECT_EQ(window.log, byButton);
  EXPECT_EQ(controller.station().HexFileName, file);
  EXPECT_TRUE(window.fileChoices.empty());  // no dialog was asked
  // Loaded as the selected type: the checksum of the same file read as type 2 differs.
  window.targetType = 2;
  window.log.clear();
  ASSERT_TRUE(controller.LoadFileNamed(file));
  EXPECT_NE(window.log.back(), byButton.back());
}

TEST_F(ControllerTest, AReloadThatFailsReturnsTheWindowToIdle) {
  controller.Open();
  const std::string file = dir.Write("eco.hex", testing::Type1KHex());
  LoadThroughButton(3, file);
  ASSERT_TRUE(std::filesystem::remove(PathFromUtf8(file)));
  window.errors.clear();
  EXPECT_EQ(controller.StoreInProgrammer(), RunOutcome::LoadFailed);
  EXPECT_EQ(window.errors.size(), 1u);
  EXPECT_TRUE(window.buttonsEnabled);
  EXPECT_FALSE(loop.TickTimerOn());
  EXPECT_FALSE(controller.Running());
  EXPECT_TRUE(received.empty());
}

// A file that loads but is suspect: the loading lines as before, then one warning line per
// finding, by the load button and again at a run's start; the file loads all the same.
struct SuspectLoad {
  const char* name;
  int type;
  std::string content;
  std::vector<std::string> warnings;
};

std::string OneType0Record() {
  testing::HexText hex;
  hex.Data(0x0000, {1, 2, 3, 0});
  hex.ExtendedLinear(0x0001);
  hex.Data(0x0000, {4, 5, 6, 0});
  hex.Data(0x0010, {7, 8, 9, 0});
  return hex.Finish();
}

class SuspectLoadTest : public ControllerTest, public ::testing::WithParamInterface<SuspectLoad> {};

TEST_P(SuspectLoadTest, WarnsAfterTheLoadingLines) {
  const SuspectLoad& c = GetParam();
  controller.Open();
  const std::string file = dir.Write("suspect.hex", c.content);
  LoadThroughButton(c.type, file);
  ASSERT_EQ(window.log.size(), 3 + c.warnings.size());
  EXPECT_THAT(window.log[2], StartsWith("Loading ... OK "));
  EXPECT_EQ(std::vector<std::string>(window.log.begin() + 3, window.log.end()), c.warnings);

  const std::size_t before = window.log.size();
  controller.StoreInProgrammer();  // whatever it stores, it starts with the same reload
  const std::vector<std::string> run(window.log.begin() + static_cast<std::ptrdiff_t>(before),
                                     window.log.end());
  ASSERT_GT(run.size(), 3 + c.warnings.size());
  EXPECT_THAT(run[2], StartsWith("Loading ... OK "));
  EXPECT_EQ(std::vector<std::string>(
                run.begin() + 3, run.begin() + 3 + static_cast<std::ptrdiff_t>(c.warnings.size())),
            c.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SuspectLoadTest,
    ::testing::Values(
        SuspectLoad{"Sound", 2, testing::Type16Hex(false), {}},
        SuspectLoad{
            "Empty", 0, "", {"<<WARNING>> No data records", "<<WARNING>> No end-of-file record"}},
        SuspectLoad{"SavedLog",
                    2,
                    "\nC:\\firmware\\tk.hex\nLoading ... OK ( 0x0 - 0x007FFF , 0x79c4 )\n",
                    {"<<WARNING>> No data records", "<<WARNING>> No end-of-file record"}},
        // Type 0's second segment has no room in a 16-bit target.
        SuspectLoad{"Type0AsCradleSet",
                    2,
                    OneType0Record(),
                    {"<<WARNING>> 2 records outside the memory of Cradle Set ignored (0x10000 - "
                     "0x10013; they fit TK Series)"}}),
    [](const ::testing::TestParamInfo<SuspectLoad>& p) { return std::string(p.param.name); });

TEST_F(ControllerTest, ChangingTheTypeClearsTheChecksumPanel) {
  controller.Open();
  LoadThroughButton(0, dir.Write("tk.hex", testing::Type0Hex(64, 0x400)));
  EXPECT_NE(window.panels[4], "N/A");
  window.targetType = 2;
  controller.TypeChanged();
  EXPECT_EQ(window.panels[4], "N/A");
  // A run's reload shows the checksum of the layout it loads, and a change the selector could
  // not make during the run leaves it.
  onFrame = [&](const sim::Frame& frame) {
    if (frame.command == Command::BulkErase) controller.TypeChanged();
  };
  controller.ProgramTarget();
  EXPECT_NE(window.panels[4], "N/A");
}

}  // namespace
}  // namespace kv218

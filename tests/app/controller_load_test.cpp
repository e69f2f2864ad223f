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

// A run refuses a file its reload found suspect before its first frame, unless the operator
// forces it; comment lines alone make no file suspect.
struct SuspectRun {
  const char* name;
  int type;
  std::string content;
  const char* reasons;  // empty: a sound file, which runs without a question
};

// The type-1/2 image with one data byte changed and its record checksum left as it was.
std::string OneByteChanged() {
  std::string text = testing::Type16Hex(false);
  const std::size_t data = text.find(":10") + 9;  // the first data record's first byte
  text[data] = text[data] == '0' ? '1' : '0';
  return text;
}

// The type-1/2 image without its last line, the end-of-file record.
std::string CutShort() {
  std::string text = testing::Type16Hex(false);
  text.resize(text.rfind(":00000001FF"));
  return text;
}

class SuspectRunTest : public ControllerTest, public ::testing::WithParamInterface<SuspectRun> {};

TEST_P(SuspectRunTest, IsRefusedWithNothingSentUnlessForced) {
  const SuspectRun& c = GetParam();
  controller.Open();
  const std::string file = dir.Write("suspect.hex", c.content);
  window.targetType = c.type;
  controller.SetHexFile(file);
  using Operation = RunOutcome (Controller::*)();
  for (const Operation run : {&Controller::ProgramTarget, &Controller::StoreInProgrammer,
                              &Controller::VerifyTarget, &Controller::VerifyProgrammer}) {
    received.clear();
    window.log.clear();
    window.offers.clear();
    const RunOutcome outcome = (controller.*run)();
    if (std::string(c.reasons).empty()) {
      EXPECT_TRUE(window.offers.empty());
      EXPECT_NE(outcome, RunOutcome::Refused);
      EXPECT_FALSE(received.empty());
      continue;
    }
    EXPECT_EQ(outcome, RunOutcome::Refused);
    EXPECT_TRUE(received.empty()) << "frames went out";
    ASSERT_EQ(window.offers.size(), 1u);
    EXPECT_THAT(window.offers[0].message, ::testing::HasSubstr(c.reasons));
    EXPECT_THAT(window.log.back(),
                ::testing::EndsWith(": " + file + " is suspect (" + c.reasons + ")"));
    EXPECT_THAT(window.log.back(), StartsWith("<<WARNING>> Not "));
    EXPECT_TRUE(window.buttonsEnabled);
    EXPECT_FALSE(controller.Running());
  }
  if (std::string(c.reasons).empty()) return;
  EXPECT_EQ(window.offers[0].goOn, "Verify anyway");

  // "Program anyway": the same file goes out, and the log says it was forced.
  received.clear();
  window.goOnAnswers = {true};
  EXPECT_NE(controller.ProgramTarget(), RunOutcome::Refused);
  EXPECT_EQ(window.offers.back().goOn, "Program anyway");
  EXPECT_THAT(window.log, ::testing::Contains(::testing::StartsWith(
                              "<<WARNING>> Programmed anyway: " + file + " is suspect (")));
  EXPECT_FALSE(received.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, SuspectRunTest,
    ::testing::Values(
        SuspectRun{"Sound", 2, testing::Type16Hex(false), ""},
        SuspectRun{"CommentLines", 2,
                   "; built by the line's script\n\n" + testing::Type16Hex(false), ""},
        SuspectRun{"Empty", 0, "", "no data records; no end-of-file record"},
        SuspectRun{"Text", 0, "README\nThis folder holds the firmware.\n",
                   "no data records; no end-of-file record"},
        SuspectRun{"Binary", 1,
                   std::string("\x7F"
                               "ELF\x02\x01\x01\0\0\0\x10:\xFF\r\n\xFE",
                               16),
                   "no data records; no end-of-file record"},
        SuspectRun{"WrongChecksum", 2, OneByteChanged(),
                   "1 record with a wrong checksum (in line 2)"},
        SuspectRun{"NoEndOfFile", 1, CutShort(), "no end-of-file record"},
        SuspectRun{"AnotherType", 2, OneType0Record(),
                   "2 records outside the memory of Cradle Set ignored (0x10000 - 0x10013; they "
                   "fit TK Series)"}),
    [](const ::testing::TestParamInfo<SuspectRun>& p) { return std::string(p.param.name); });

// The command line's --lenient: no question, and the run goes on as forced.
TEST_F(ControllerTest, LenientRunsASuspectFileWithoutAsking) {
  controller.Open();
  controller.SetLenient(true);
  window.targetType = 2;
  controller.SetHexFile(dir.Write("cut.hex", CutShort()));
  EXPECT_EQ(controller.ProgramTarget(), RunOutcome::Succeeded);
  EXPECT_TRUE(window.offers.empty());
  EXPECT_THAT(window.log,
              ::testing::Contains(::testing::StartsWith("<<WARNING>> Programmed anyway: ")));
}

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

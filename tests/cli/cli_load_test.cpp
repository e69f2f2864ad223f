// kv218 load, run as the built executable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/queue_loop.h"
#include "ground/utf8_path.h"
#include "image/hex_loader.h"
#include "run_process.h"
#include "testkit/recording_window.h"
#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

using testing::ProcessResult;
using testing::TempFolder;

const std::string kExamples = KV218_EXAMPLES_DIR;

class CliLoadTest : public ::testing::Test {
 protected:
  ProcessResult Run(std::vector<std::string> args) {
    // Never the settings file beside the build's executable.
    if (std::find(args.begin(), args.end(), "--settings") == args.end()) {
      args.insert(args.begin(), {"--settings", folder.File("kv218tool.INI")});
    }
    return testing::RunProcess(KV218_CLI, args, folder.File(""));
  }
  // What the window's own load shows for this file: log lines and panel 4.
  struct InProcess {
    std::string log, checksum;
    std::unique_ptr<MemoryImage> image = std::make_unique<MemoryImage>();
  };
  static InProcess LoadInProcess(const std::string& path, int type) {
    InProcess expected;
    RecordingWindow window;
    QueueLoop loop;
    AppendLoadingLines(window, path);
    LoadImage(*expected.image, path, TargetTypeAt(type), window, loop);
    for (const auto& line : window.log) expected.log += line + "\n";
    expected.checksum = "checksum: " + window.panels[4] + "\n";
    return expected;
  }

  TempFolder folder;
};

struct ExampleRun {
  const char* file;
  const char* type;
  int typeIndex;
};

class CliExampleTest : public CliLoadTest, public ::testing::WithParamInterface<ExampleRun> {};

TEST_P(CliExampleTest, PrintsThePaneAndTheChecksum) {
  const std::string path = kExamples + "/" + GetParam().file;
  const auto result = Run({"load", path, "--type", GetParam().type});
  const auto expected = LoadInProcess(path, GetParam().typeIndex);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, expected.log);
  EXPECT_EQ(result.err, expected.checksum);
}

INSTANTIATE_TEST_SUITE_P(Examples, CliExampleTest,
                         ::testing::Values(ExampleRun{"tk_series.hex", "0", 0},
                                           ExampleRun{"mvrx_series.hex", "MVRx Series", 1},
                                           ExampleRun{"cradle_set.hex", "cradle set", 2},
                                           ExampleRun{"eco_mode.hex", "3", 3}));

TEST_F(CliLoadTest, ImageOutHoldsTheImageThenTheConfiguration) {
  const std::string path = kExamples + "/tk_series.hex";
  const std::string out = folder.File("image.bin");
  ASSERT_EQ(Run({"load", path, "--type", "TK Series", "--image-out", out}).status, 0);
  const std::string bytes = TempFolder::Read(out);
  ASSERT_EQ(bytes.size(), 352256u + 12u);
  const auto expected = LoadInProcess(path, 0);
  EXPECT_EQ(0, std::memcmp(bytes.data(), expected.image->ProgramImage.data(), 352256));
  EXPECT_EQ(0, std::memcmp(bytes.data() + 352256, expected.image->ConfigBytes.data(), 12));
}

TEST_F(CliLoadTest, TheTypeComesFromTheSettingsFile) {
  const std::string settings = folder.Write("site.INI", "[INDEX]\r\nTYPE=2\r\n");
  const std::string path = kExamples + "/cradle_set.hex";
  const auto result = Run({"--settings", settings, "load", path, "-q"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");  // quiet
  EXPECT_EQ(result.err, LoadInProcess(path, 2).checksum);
}

TEST_F(CliLoadTest, StrictRefusesAWrongRecordChecksum) {
  const std::string path = folder.Write("bad.hex", ":020000001234B8\r\n:020002005678FF\r\n");
  EXPECT_EQ(Run({"load", path, "--type", "1"}).status, 0);
  const auto strict = Run({"load", path, "--type", "1", "--strict"});
  EXPECT_EQ(strict.status, 2);
  EXPECT_EQ(strict.err, "Wrong record checksum in line 2: 0xFF, expected 0x2E\n");
  EXPECT_EQ(strict.out, "\n" + path + "\nLoading ...\n");
}

// The window loads these files without a word; the command line names what is wrong on
// standard error, and --strict refuses a file without data or without its end.
struct SuspectFile {
  const char* name;
  std::string text;
  const char* type;
  std::string notes;        // "@" stands for the file's path
  std::string strictError;  // empty: --strict loads it too
};

void PrintTo(const SuspectFile& c, std::ostream* os) { *os << c.name; }

class CliSuspectFileTest : public CliLoadTest, public ::testing::WithParamInterface<SuspectFile> {
 protected:
  std::string WithPath(std::string text, const std::string& path) {
    for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size()))
      text.replace(at, 1, path);
    return text;
  }
};

TEST_P(CliSuspectFileTest, NamesWhatIsWrongAndStrictRefusesIt) {
  const SuspectFile& c = GetParam();
  const std::string path = folder.Write("suspect.hex", c.text);
  const auto loaded = Run({"load", path, "--type", c.type});
  EXPECT_EQ(loaded.status, 0) << loaded.err;
  const std::string checksum = "checksum: ";
  ASSERT_NE(loaded.err.rfind(checksum), std::string::npos) << loaded.err;
  EXPECT_EQ(loaded.err.substr(0, loaded.err.rfind(checksum)), WithPath(c.notes, path));

  const auto strict = Run({"load", path, "--type", c.type, "--strict"});
  if (c.strictError.empty()) {
    EXPECT_EQ(strict.status, 0) << strict.err;
  } else {
    EXPECT_EQ(strict.status, 2);
    EXPECT_EQ(strict.err, WithPath(c.strictError, path) + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliSuspectFileTest,
    ::testing::Values(
        SuspectFile{"Sound", ":020000001234B8\n:00000001FF\n", "1", "", ""},
        SuspectFile{"CutShort", ":020000001234B8\n", "1", "kv218: @: no end-of-file record\n",
                    "No end-of-file record in @"},
        SuspectFile{"NoHexAtAll", "# kv218tool\n\nNothing to program.\n", "0",
                    "kv218: @: no data records\nkv218: @: no end-of-file record\n"
                    "kv218: @: 2 lines without a record skipped\n",
                    "No data records and no end-of-file record in @"},
        // Comments are counted, not held against the file; a byte-order mark is no line.
        SuspectFile{"Commented", "\xEF\xBB\xBF# built by make\n:020000001234B8\n:00000001FF\n", "1",
                    "kv218: @: 1 line without a record skipped\n", ""},
        SuspectFile{"ByteOrderMark", "\xEF\xBB\xBF:020000001234B8\n:00000001FF\n", "1", "", ""},
        // A record behind a blank or a NUL is damaged: named, and refused by --strict.
        SuspectFile{"BlankBeforeTheColon", " :020000001234B8\n:00000001FF\n", "1",
                    "kv218: @: no data records\nkv218: @: 1 damaged record not loaded (bytes "
                    "before its ':', in line 1)\n",
                    "Damaged record in line 1: bytes before its ':'"},
        SuspectFile{
            "NulsBeforeTheColons",
            ":020000001234B8\n" + std::string(2, '\0') + ":020002001234B6\n" +
                std::string(1, '\0') + ":00000001FF\n",
            "1",
            "kv218: @: no end-of-file record\nkv218: @: 2 damaged records not loaded (bytes "
            "before their ':', first in line 2)\n",
            "Damaged record in line 2: bytes before its ':'"},
        SuspectFile{
            "OutsideTheWindow", ":020000001234B8\n:02FC00001234BC\n:020010001234A8\n:00000001FF\n",
            "Eco Mode",
            "kv218: @: 2 records outside the memory of Eco Mode ignored (0x0000 - 0x0011; they "
            "fit MVRx Series or Cradle Set)\n",
            ""}),
    [](const ::testing::TestParamInfo<SuspectFile>& p) { return std::string(p.param.name); });

// A file's name and bytes reach the terminal shown, never raw: no line of their own, no escape.
TEST_F(CliLoadTest, NamesAndFileBytesNeverForgeALineNorReachTheTerminalRaw) {
  const std::string shown = folder.File("c\\x0APROGRAMMING SUCCEEDED.\\x0A.hex");
  const std::string path = folder.Write("c\nPROGRAMMING SUCCEEDED.\n.hex", ":\x1B]0;T\x07\r\n");
  const auto result = Run({"load", path, "--type", "1"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "\n" + shown + "\nLoading ...\n");
  EXPECT_EQ(result.err, "'0x\\x1B]' is not a valid integer value\n");

  std::filesystem::remove(PathFromUtf8(path));
  const auto missing = Run({"load", path, "--type", "1"});
  EXPECT_EQ(missing.err, "Cannot open file " + shown + "\n");
}

struct FailureRun {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the scratch folder
  std::string err;                // start of the message on standard error
};

class CliFailureTest : public CliLoadTest, public ::testing::WithParamInterface<FailureRun> {};

TEST_P(CliFailureTest, ExitsWithStatus2) {
  std::vector<std::string> args = GetParam().args;
  for (auto& arg : args) {
    if (arg.front() == '@') arg = folder.File(arg.substr(1));
  }
  folder.Write("bad.hex", ":0200000012\r\n");
  folder.Write("none.INI", "[INDEX]\r\nTYPE=-1\r\n");
  const auto result = Run(args);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err.substr(0, GetParam().err.size()), GetParam().err) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CliFailureTest,
    ::testing::Values(
        FailureRun{"MissingFile", {"load", "@absent.hex", "--type", "0"}, "Cannot open file /"},
        FailureRun{
            "HexError", {"load", "@bad.hex", "--type", "0"}, "'0x' is not a valid integer value\n"},
        FailureRun{"UnknownType", {"load", "@bad.hex", "--type", "4"}, "--type: '4' is not"},
        FailureRun{"NoTypeSelected",
                   {"--settings", "@none.INI", "load", "@bad.hex"},
                   "No target type selected (TYPE=-1"},
        FailureRun{"NoFile", {"load"}, "FILE is required"},
        FailureRun{"NoSubcommand", {}, "A subcommand is required"},
        FailureRun{"UnknownOption", {"load", "@bad.hex", "--fast"}, "The following argument"}),
    [](const ::testing::TestParamInfo<FailureRun>& p) { return std::string(p.param.name); });

TEST_F(CliLoadTest, MissingFileStillPrintsTheLoadingLines) {
  const std::string path = folder.File("absent.hex");
  const auto result = Run({"load", path, "--type", "0"});
  EXPECT_EQ(result.out, "\n" + path + "\nLoading ...\n");
  EXPECT_EQ(result.err, "Cannot open file " + path + "\n");
}

TEST_F(CliLoadTest, HelpExitsWith0) {
  const auto result = Run({"load", "--help"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("--image-out"), std::string::npos);
}

}  // namespace
}  // namespace kv218

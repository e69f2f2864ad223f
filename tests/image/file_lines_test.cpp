// The lines of a file read through a small buffer: the same lines whatever the buffer's size,
// line ends split between two reads, lines longer than the buffer, and a file that grows
// past its limit while it is read.
#include "image/file_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

using testing::TempFolder;

struct LinesCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

class FileLinesTest : public ::testing::TestWithParam<LinesCase> {
 protected:
  TempFolder folder;
};

TEST_P(FileLinesTest, SameLinesWhateverTheBufferSize) {
  const LinesCase& c = GetParam();
  const std::string path = folder.Write("lines.hex", c.text);
  for (std::size_t piece :
       {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, FileLines::kPieceBytes}) {
    RegularFile file;
    ASSERT_EQ(file.Open(path, 1 << 20), FileReadError::None);
    FileLines lines(file, 1 << 20, piece);
    EXPECT_EQ(lines.Count(), c.lines.size()) << "piece " << piece;
    std::vector<std::string> read;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      std::string_view line;
      ASSERT_TRUE(lines.Next(line)) << "piece " << piece;
      read.emplace_back(line);
    }
    EXPECT_EQ(read, c.lines) << "piece " << piece;
    std::string_view past;  // past the end: empty lines
    ASSERT_TRUE(lines.Next(past));
    EXPECT_EQ(past, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileLinesTest,
    ::testing::Values(
        LinesCase{"Empty", "", {}}, LinesCase{"OneLineWithoutEnd", ":00000001FF", {":00000001FF"}},
        LinesCase{"CrLf", ":0A\r\n:0B\r\n", {":0A", ":0B"}},
        LinesCase{"Lf", ":0A\n:0B\n", {":0A", ":0B"}},
        LinesCase{"Cr", ":0A\r:0B\r", {":0A", ":0B"}},
        LinesCase{"LastLineWithoutEnd", ":0A\r\n:0B", {":0A", ":0B"}},
        // CR CR LF: a line and an empty one; LF CR the same.
        LinesCase{"MixedEnds", "ab\r\r\ncd\n\ref\r", {"ab", "", "cd", "", "ef"}},
        LinesCase{"OnlyEnds", "\r\n\n\r\r\n", {"", "", "", ""}},
        LinesCase{"LongerThanTheBuffer", "0123456789abcdef\r\nx", {"0123456789abcdef", "x"}}),
    [](const ::testing::TestParamInfo<LinesCase>& p) { return std::string(p.param.name); });

// The limit holds for what is read, not only for the size the file had when opened.
TEST(FileLinesLimit, AFileGrownPastTheLimitIsRefused) {
  TempFolder folder;
  const std::string path = folder.Write("grows.hex", "ab\ncd\n");
  {
    RegularFile file;
    ASSERT_EQ(file.Open(path, 6), FileReadError::None);
    FileLines lines(file, 6, 4);
    folder.Write("grows.hex", "ab\ncd\nef\n");
    EXPECT_EQ(lines.Count(), std::nullopt);
  }
  folder.Write("grows.hex", "ab\ncd\n");
  RegularFile file;
  ASSERT_EQ(file.Open(path, 6), FileReadError::None);
  FileLines lines(file, 6, 4);
  ASSERT_EQ(lines.Count(), 2u);
  folder.Write("grows.hex", "ab\ncdefgh\n");  // between the count and the reading
  std::string_view line;
  ASSERT_TRUE(lines.Next(line));
  EXPECT_EQ(line, "ab");
  EXPECT_FALSE(lines.Next(line));
}

}  // namespace
}  // namespace kv218

// One reading of a HEX file shared by several stations: read once, and every station gets
// the image and the window lines that a reading of its own would have given it.
#include "image/shared_image_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "hex_test_support.h"
#include "testkit/recording_window.h"

namespace kv218 {
namespace {

using testing::DataLine;
using testing::kEndLine;
using testing::TempFolder;

// A station as the loader sees it: a window whose last line is "Loading ...", and an image.
struct Reader {
  Reader() { AppendLoadingLines(window, "x"); }
  RecordingWindow window;
  testing::ImmediateLoop loop;
  std::unique_ptr<MemoryImage> image = std::make_unique<MemoryImage>();
};

class SharedImageSourceTest : public ::testing::Test {
 protected:
  std::string File(const std::string& name) {
    return folder.WriteLines(name, {DataLine(0x0000, {0x12, 0x34, 0x56, 0x78}),
                                    DataLine(0x0040, {0x9A, 0xBC, 0xDE, 0xF0}), kEndLine});
  }
  // What a reading of its own gives a station.
  std::unique_ptr<Reader> Alone(const std::string& path, int type, std::int32_t bias = 0) {
    auto reader = std::make_unique<Reader>();
    reader->image->ChecksumBiasFlag = bias;
    LoadImage(*reader->image, path, TargetTypeAt(type), reader->window, reader->loop);
    return reader;
  }
  static void ExpectSame(const Reader& shared, const Reader& alone) {
    EXPECT_EQ(shared.image->ProgramImage, alone.image->ProgramImage);
    EXPECT_EQ(shared.image->ConfigBytes, alone.image->ConfigBytes);
    EXPECT_EQ(shared.image->ImageChecksum, alone.image->ImageChecksum);
    EXPECT_EQ(shared.image->ConfigChecksum, alone.image->ConfigChecksum);
    EXPECT_EQ(shared.window.log, alone.window.log);
    EXPECT_EQ(shared.window.panels[4], alone.window.panels[4]);
    EXPECT_EQ(shared.window.progress, alone.window.progress);
    EXPECT_EQ(shared.window.errors, alone.window.errors);
  }

  TempFolder folder;
  SharedImageSource source;
};

TEST_F(SharedImageSourceTest, StationsOnSeveralThreadsShareOneReading) {
  const std::string path = File("image.hex");
  constexpr int kStations = 6;
  std::vector<std::unique_ptr<Reader>> readers;
  for (int i = 0; i < kStations; ++i) readers.push_back(std::make_unique<Reader>());
  std::vector<LoadResult> results(kStations);
  std::vector<std::thread> threads;
  for (int i = 0; i < kStations; ++i) {
    threads.emplace_back([&, i] {
      Reader& r = *readers[static_cast<std::size_t>(i)];
      results[static_cast<std::size_t>(i)] =
          source.Load(*r.image, path, TargetType::TkSeries, r.window, r.loop);
    });
  }
  for (auto& thread : threads) thread.join();

  EXPECT_EQ(source.FilesRead(), 1);
  const auto alone = Alone(path, 0);
  for (int i = 0; i < kStations; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(results[static_cast<std::size_t>(i)].ok());
    ExpectSame(*readers[static_cast<std::size_t>(i)], *alone);
    // Each station's window gets a chance to handle a close request.
    EXPECT_GE(readers[static_cast<std::size_t>(i)]->loop.pumps, 1);
  }
  // Each station has an image of its own.
  readers[0]->image->ProgramImage[0] ^= 0xFF;
  EXPECT_NE(readers[0]->image->ProgramImage, readers[1]->image->ProgramImage);
}

TEST_F(SharedImageSourceTest, AnotherFileTypeOrBiasIsReadAfresh) {
  const std::string first = File("first.hex");
  const std::string second = File("second.hex");
  struct Case {
    std::string path;
    int type;
    std::int32_t bias;
    int filesRead;  // after this load
  };
  const Case cases[] = {{first, 1, 0, 1}, {first, 1, 0, 1},  {first, 1, 1, 2},
                        {first, 2, 1, 3}, {second, 2, 1, 4}, {second, 2, 1, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filesRead);
    Reader shared;
    shared.image->ChecksumBiasFlag = c.bias;
    source.Load(*shared.image, c.path, TargetTypeAt(c.type), shared.window, shared.loop);
    EXPECT_EQ(source.FilesRead(), c.filesRead);
    ExpectSame(shared, *Alone(c.path, c.type, c.bias));
  }
}

TEST_F(SharedImageSourceTest, AFailedReadingShowsItsErrorOnEveryStation) {
  const std::string missing = folder.File("missing.hex");
  for (int station = 0; station < 3; ++station) {
    Reader shared;
    const LoadResult result =
        source.Load(*shared.image, missing, TargetType::TkSeries, shared.window, shared.loop);
    EXPECT_EQ(result.status, LoadStatus::Failed);
    EXPECT_THAT(shared.window.errors, ::testing::ElementsAre("Cannot open file " + missing));
    ExpectSame(shared, *Alone(missing, 0));
  }
  EXPECT_EQ(source.FilesRead(), 1);
}

}  // namespace
}  // namespace kv218

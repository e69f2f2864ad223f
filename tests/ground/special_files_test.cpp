// Pipes and devices named as the HEX file or the settings file: refused at once, never
// blocked on, never written over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/queue_loop.h"
#include "image/hex_loader.h"
#include "settings/settings.h"
#include "testkit/fifo_guard.h"
#include "testkit/recording_window.h"
#include "testkit/temp_folder.h"

namespace kv218 {
namespace {

using testing::FifoGuard;
using testing::TempFolder;

TEST(SpecialFiles, AreNoHexFile) {
  TempFolder folder;
  FifoGuard fifo(folder.File("pipe.hex"));
  ASSERT_TRUE(fifo.Ok());
  for (const std::string& path : {fifo.Path(), std::string("/dev/null")}) {
    RecordingWindow window;
    QueueLoop loop;
    auto image = std::make_unique<MemoryImage>();
    AppendLoadingLines(window, path);
    const LoadResult result = LoadImage(*image, path, TargetType::TkSeries, window, loop);
    EXPECT_EQ(result.status, LoadStatus::Failed) << path;
    EXPECT_EQ(window.errors, std::vector<std::string>{"Cannot open file " + path});
    EXPECT_EQ(window.log.back(), "Loading ...");
  }
}

// Read as the defaults without blocking, and the pipe stays a pipe: a write through a
// temporary file renamed over it would replace it.
TEST(SpecialFiles, AreNoSettingsFile) {
  TempFolder folder;
  FifoGuard fifo(folder.File("pipe.INI"));
  ASSERT_TRUE(fifo.Ok());
  EXPECT_EQ(ReadSettings(fifo.Path()).Type, 0);
  Settings changed;
  changed.Type = 2;
  EXPECT_EQ(WriteSettings(fifo.Path(), changed),
            "Unable to write to " + fifo.Path() + ": not a regular file");
  EXPECT_TRUE(fifo.StillAPipe());
}

}  // namespace
}  // namespace kv218

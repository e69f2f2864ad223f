#pragma once
// A loader under test: a temp HEX file, a recording window whose last line is "Loading ...",
// a counting message loop and a fresh image.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "hex_test_support.h"
#include "image/hex_loader.h"
#include "testkit/recording_window.h"

namespace kv218::testing {

class LoaderTest : public ::testing::Test {
 protected:
  LoadResult Load(int targetType, std::initializer_list<std::string> lines,
                  const LoadOptions& options = {}) {
    return LoadText(targetType, folder.WriteLines("image.hex", lines), options);
  }
  LoadResult LoadText(int targetType, const std::string& path, const LoadOptions& options = {}) {
    AppendLoadingLines(window, path);
    return LoadImage(*image, path, TargetTypeAt(targetType), window, loop, options);
  }
  std::uint8_t At(std::size_t offset) const { return image->ProgramImage[offset]; }
  const std::string& LastLine() const { return window.log.back(); }

  TempFolder folder;
  RecordingWindow window;
  ImmediateLoop loop;
  std::unique_ptr<MemoryImage> image = std::make_unique<MemoryImage>();
};

}  // namespace kv218::testing

// The HEX loaders of every target type, with and without strict checking, on arbitrary files.
// Input: one byte choosing the type (0..3, or none) and whether to check strictly, then the
// file's bytes. Beyond the sanitizers' own checks: an error is shown exactly once and comes
// back in the result, and a file that loads strictly loads the same without strict checking.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "image/hex_loader.h"
#include "scratch_file.h"
#include "testkit/immediate_loop.h"
#include "testkit/recording_window.h"

namespace {

using kv218::LoadImage;
using kv218::LoadOptions;
using kv218::LoadResult;
using kv218::LoadStatus;
using kv218::MemoryImage;
using kv218::RecordingWindow;

LoadResult Load(MemoryImage& image, const std::string& path, int type, bool strict) {
  image = MemoryImage{};
  RecordingWindow window;
  window.targetType = type;
  kv218::testing::ImmediateLoop loop;
  const LoadResult result =
      LoadImage(image, path, kv218::TargetTypeAt(type), window, loop, LoadOptions{strict});
  switch (result.status) {
    case LoadStatus::Loaded:
      if (!window.errors.empty()) std::abort();
      break;
    case LoadStatus::Failed:
      if (window.errors.size() != 1 || window.errors[0] != result.error) std::abort();
      break;
    case LoadStatus::NoLoader:
      if (type >= 0 && type <= 3) std::abort();
      break;
  }
  for (int percent : window.progressCalls) {
    if (percent < 0 || percent > 100) std::abort();
  }
  return result;
}

bool SameImage(const MemoryImage& a, const MemoryImage& b) {
  return a.ProgramImage == b.ProgramImage && a.ConfigBytes == b.ConfigBytes &&
         a.ImageChecksum == b.ImageChecksum && a.ByteChecksum == b.ByteChecksum &&
         a.ConfigChecksum == b.ConfigChecksum && a.BiasedDisplay == b.BiasedDisplay &&
         a.HighestAddress == b.HighestAddress && a.ChecksumBiasFlag == b.ChecksumBiasFlag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const kv218::fuzz::ScratchFile file("image.hex");
  static const auto lenient = std::make_unique<MemoryImage>();
  static const auto strict = std::make_unique<MemoryImage>();
  if (size == 0) return 0;
  const int type = data[0] % 5 == 4 ? -1 : data[0] % 5;
  const bool checkStrictly = (data[0] & 0x80) != 0;
  file.Write(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

  const LoadResult loaded = Load(*lenient, file.path(), type, false);
  if (checkStrictly && Load(*strict, file.path(), type, true).ok()) {
    if (!loaded.ok()) std::abort();
    if (!SameImage(*lenient, *strict)) std::abort();
  }
  return 0;
}

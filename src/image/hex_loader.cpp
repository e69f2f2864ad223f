#include "image/hex_loader.h"

#include <array>

#include "ground/shown_text.h"
#include "image/blank.h"
#include "image/checksums.h"
#include "image/load_texts.h"
#include "image/record_placement.h"
#include "image/target_types.h"

namespace kv218 {

namespace {

constexpr std::array<std::uint8_t, kConfigCount> kConfigDefaults24 = {
    0xCF, 0xCF, 0x07, 0xA7, 0xC7, 0xDF, 0xE7, 0xE3, 0xFF, 0xFF, 0xFF, 0xFF};

// What the file held and its digest, as the reading left them.
struct Reading {
  RecordCounts counts;
  std::optional<std::string> sha256;
};

LoadResult Failed(WindowOps& window, std::string message, Reading& reading) {
  window.ShowError(message);
  return LoadResult{
      LoadStatus::Failed, std::move(message), reading.counts, {}, std::move(reading.sha256)};
}

LoadResult Loaded(Reading& reading, std::optional<std::uint16_t> shownChecksum) {
  return LoadResult{
      LoadStatus::Loaded, {}, reading.counts, shownChecksum, std::move(reading.sha256)};
}

// Shows checksum in status panel 4 and returns it, for the load's result.
std::uint16_t ShowChecksum(WindowOps& window, std::uint16_t checksum) {
  window.SetPanelText(kChecksumPanel, PanelChecksumText(checksum));
  return checksum;
}

}  // namespace

LoadResult LoadHex24(MemoryImage& image, const std::string& path, WindowOps& window,
                     MessageLoop& loop, const LoadOptions& options) {
  window.SetProgress(0);
  BlankImage24(image);
  image.ConfigBytes = kConfigDefaults24;
  image.HighestAddress = 0;

  Reading reading;
  const auto error = ReadHexRecords(
      path, window, loop, options,
      [&image](const HexRecord& record, std::int64_t extended, std::string& message) {
        return PlaceRecord24(image, record, extended, message);
      },
      reading.counts, reading.sha256);
  if (error) return Failed(window, *error, reading);

  image.ImageChecksum = ProgramWordSum24(image);
  image.ByteChecksum = ProgramByteSum24(image);
  const std::uint16_t shown = ShowChecksum(window, image.ImageChecksum);
  MaskConfig24(image);
  image.ConfigChecksum = ConfigByteSum(image);
  image.ByteChecksum = static_cast<std::uint16_t>(image.ByteChecksum + ConfigByteSum24(image));
  window.AppendToLastLine(LoadResultText24(image));
  return Loaded(reading, shown);
}

LoadResult LoadHex16(MemoryImage& image, const std::string& path, std::uint8_t variant,
                     WindowOps& window, MessageLoop& loop, const LoadOptions& options) {
  window.SetProgress(0);
  BlankImage16(image);
  // Registers 4 and 6..11 keep what an earlier load or read-back left in them.
  auto& reg = image.ConfigBytes;
  reg[0] = 0xE1;
  reg[1] = 0x04;
  reg[2] = 0xC7;
  reg[3] = 0x0F;
  reg[5] = 0x01;
  image.HighestAddress = 0x7FFF;

  Reading reading;
  const auto error = ReadHexRecords(
      path, window, loop, options,
      [&image](const HexRecord& record, std::int64_t extended, std::string&) {
        return PlaceRecord16(image, record, extended);
      },
      reading.counts, reading.sha256);
  if (error) return Failed(window, *error, reading);

  std::uint16_t sum = ProgramByteSum16(image);
  CopyConfigToImage16(image);
  MaskConfig16(image);
  sum = static_cast<std::uint16_t>(sum + ConfigByteSum16(image));
  image.ByteChecksum = sum;
  window.AppendToLastLine(LoadResultText16(image, sum));
  std::optional<std::uint16_t> shown;
  if (variant == 0) {
    // The status bar always shows the biased value; the reference carries the bias only for
    // target programming, whose read-back check adds its own constant.
    if (image.ChecksumBiasFlag == 1) {
      image.ByteChecksum = static_cast<std::uint16_t>(sum + kType1Bias);
      shown = ShowChecksum(window, image.ByteChecksum);
    } else {
      image.BiasedDisplay = static_cast<std::uint16_t>(sum + kType1Bias);
      shown = ShowChecksum(window, image.BiasedDisplay);
    }
  } else if (variant == 1) {
    shown = ShowChecksum(window, image.ByteChecksum);
  }
  image.ImageChecksum = image.ByteChecksum;
  return Loaded(reading, shown);
}

LoadResult LoadHex1K(MemoryImage& image, const std::string& path, WindowOps& window,
                     MessageLoop& loop, const LoadOptions& options) {
  window.SetProgress(0);
  BlankImage1K(image);

  Reading reading;
  const auto error = ReadHexRecords(
      path, window, loop, options,
      [&image](const HexRecord& record, std::int64_t extended, std::string&) {
        return PlaceRecord1K(image, record, extended);
      },
      reading.counts, reading.sha256);
  if (error) return Failed(window, *error, reading);

  window.SetProgress(100);
  image.ImageChecksum = WindowByteSum1K(image);
  const std::uint16_t shown = ShowChecksum(window, image.ImageChecksum);
  window.AppendToLastLine(kLoadResultText1K);
  return Loaded(reading, shown);
}

LoadResult LoadImage(MemoryImage& image, const std::string& path, TargetType targetType,
                     WindowOps& window, MessageLoop& loop, const LoadOptions& options) {
  const TargetTypeRow* row = RowOf(targetType);
  if (row == nullptr) return LoadResult{};
  switch (row->layout) {
    case ImageLayout::Words24:
      return LoadHex24(image, path, window, loop, options);
    case ImageLayout::Bytes16:
      // Variant 0 is the type with the biased checksum (type 1), variant 1 the plain one.
      return LoadHex16(image, path, row->protectedRows ? 0 : 1, window, loop, options);
    case ImageLayout::Window1K:
      return LoadHex1K(image, path, window, loop, options);
  }
  return LoadResult{};
}

void AppendLoadingLines(WindowOps& window, std::string_view path) {
  window.AppendLog("");
  window.AppendLog(ShownText(path));  // a name may hold a line break or an escape
  window.AppendLog(kLoadingLine);
}

}  // namespace kv218

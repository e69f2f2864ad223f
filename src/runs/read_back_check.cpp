#include "runs/read_back_check.h"

#include "image/checksums.h"
#include "runs/run_start.h"

namespace kv218 {
namespace {

// The sums (now against std_) and the bytes over span: the step line gets ngText and the
// aside when either differs.
bool Agrees(RunContext& run, ReadBackSpan span, std::uint16_t std_, std::uint16_t now,
            const std::string& ngText) {
  const auto difference = ReadBackDifference(run.station, span);
  if (now == std_ && !difference) return true;
  RunLog log = LogOf(run);
  log.Result(ngText);
  if (difference) log.Difference(*difference);
  return false;
}

}  // namespace

void KeepFileImage(Station& station) { station.fileImage.Keep(station.image); }

ReadBackSpan TargetSpanOf(TargetType type) {
  if (type == TargetType::TkSeries) return ReadBackSpan::Program24;
  return type == TargetType::MvrxSeries ? ReadBackSpan::TargetMvrx : ReadBackSpan::Target16;
}

ReadBackSpan FlashSpanOf(TargetType type) {
  if (type == TargetType::TkSeries) return ReadBackSpan::Program24;
  return type == TargetType::EcoMode ? ReadBackSpan::Window1K : ReadBackSpan::Target16;
}

std::optional<ByteDifference> ReadBackDifference(const Station& station, ReadBackSpan span) {
  const MemoryImage* file = station.fileImage.get();
  if (file == nullptr) return std::nullopt;
  return FirstDifference(*file, station.image, span);
}

bool TargetProgramAgrees(RunContext& run, TargetType type) {
  MemoryImage& image = run.station.image;
  const std::uint16_t std_ = image.ImageChecksum;
  if (type == TargetType::TkSeries) {
    const std::uint16_t now = ProgramWordSum24(image);
    return Agrees(run, ReadBackSpan::Program24, std_, now, MismatchText(std_, now, true));
  }
  const std::uint16_t now = TargetReadBackSum16(image, type);
  TakeConfigFromImage16(image);
  return Agrees(run, TargetSpanOf(type), std_, now, MismatchText(std_, now, false));
}

bool TargetConfigAgrees(RunContext& run) {
  const MemoryImage& image = run.station.image;
  const std::uint16_t now = ConfigByteSum(image);
  const std::uint16_t std_ = image.ConfigChecksum;
  return Agrees(run, ReadBackSpan::Config24, std_, now, MismatchText(std_, now, true));
}

bool FlashProgramAgrees(RunContext& run, TargetType type) {
  MemoryImage& image = run.station.image;
  const std::uint16_t std_ = image.ImageChecksum;
  if (type == TargetType::TkSeries) {
    return Agrees(run, ReadBackSpan::Program24, std_, ProgramWordSum24(image), " NG");
  }
  std::uint16_t now = 0;
  if (type == TargetType::EcoMode) {
    now = WindowByteSum1K(image);
  } else {
    now = FlashReadBackSum16(image);
    TakeConfigFromImage16(image);
  }
  return Agrees(run, FlashSpanOf(type), std_, now, MismatchText(std_, now, false));
}

bool FlashConfigAgrees(RunContext& run) {
  const MemoryImage& image = run.station.image;
  return Agrees(run, ReadBackSpan::Config24, image.ConfigChecksum, ConfigByteSum(image), " NG");
}

}  // namespace kv218

#include "runs/read_back_check.h"

#include "ground/text.h"
#include "image/checksums.h"

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

std::string MismatchText(std::uint16_t std_, std::uint16_t now, bool upperCase) {
  auto digits = upperCase ? &Hex : &HexLower;
  return " NG ( std : 0x" + digits(std_, 4) + " , now : 0x" + digits(now, 4) + " )";
}

void KeepFileImage(Station& station) { station.fileImage.Keep(station.image); }

std::optional<ByteDifference> ReadBackDifference(const Station& station, ReadBackSpan span) {
  const MemoryImage* file = station.fileImage.get();
  if (file == nullptr) return std::nullopt;
  return FirstDifference(*file, station.image, span);
}

bool TargetProgramAgrees(RunContext& run) {
  const TargetTypeRow& type = *run.target;
  MemoryImage& image = run.station.image;
  const std::uint16_t std_ = image.ImageChecksum;
  std::uint16_t now = 0;
  if (type.layout == ImageLayout::Words24) {
    now = ProgramWordSum24(image);
  } else {
    now = TargetReadBackSum16(image, run.type);
    TakeConfigFromImage16(image);
  }
  return Agrees(run, type.targetSpan, std_, now, MismatchText(std_, now, type.upperCaseDigits));
}

bool TargetConfigAgrees(RunContext& run) {
  const MemoryImage& image = run.station.image;
  const std::uint16_t now = ConfigByteSum(image);
  const std::uint16_t std_ = image.ConfigChecksum;
  return Agrees(run, ReadBackSpan::Config24, std_, now, MismatchText(std_, now, true));
}

bool FlashProgramAgrees(RunContext& run) {
  const TargetTypeRow& type = *run.target;
  MemoryImage& image = run.station.image;
  const std::uint16_t std_ = image.ImageChecksum;
  switch (type.layout) {
    case ImageLayout::Words24:
      return Agrees(run, type.flashSpan, std_, ProgramWordSum24(image), " NG");
    case ImageLayout::Window1K: {
      const std::uint16_t now = WindowByteSum1K(image);
      return Agrees(run, type.flashSpan, std_, now, MismatchText(std_, now, false));
    }
    case ImageLayout::Bytes16:
      break;
  }
  const std::uint16_t now = FlashReadBackSum16(image);
  TakeConfigFromImage16(image);
  return Agrees(run, type.flashSpan, std_, now, MismatchText(std_, now, false));
}

bool FlashConfigAgrees(RunContext& run) {
  const MemoryImage& image = run.station.image;
  return Agrees(run, ReadBackSpan::Config24, image.ConfigChecksum, ConfigByteSum(image), " NG");
}

}  // namespace kv218

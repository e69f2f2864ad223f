#include "protocol/reply_decoder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "ground/text.h"
#include "protocol/run_log.h"
#include "protocol/status_reports.h"

namespace kv218 {
namespace {

// One read being decoded, with everything its handling touches.
struct Reply {
  Station& station;
  WindowOps& window;
  MessageLoop& loop;
  FollowUpSender& followUp;
  const std::uint8_t* b;
  std::size_t count;
  std::time_t now;
  int family;  // 0 for the '8' replies (type 1), 1 for the '9' replies (type 2)
  RunLog log;  // the step results and closing line, told to the station's RunEvents
};

using Handler = void (*)(Reply&);

struct Entry {
  std::string_view letters;  // after the lead byte: family byte, command and phase letters
  std::size_t length;        // bytes the handling reads: a shorter read is not this reply
  std::size_t whole;         // bytes the programmer sends for it
  Handler handle;
  int family;
};

// The gauge value done * 100 / total, truncated. A total of 0 (a nonsense HighestAddress)
// shows a finished transfer instead of dividing by zero.
int Percent(std::int64_t done, std::int64_t total) {
  if (total == 0) return 100;
  const std::int64_t percent = done * 100 / total;
  return static_cast<int>(std::clamp<std::int64_t>(percent, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

std::int32_t AdvanceRow(std::int32_t row, std::int64_t rows) {
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(row + rows, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t BlockTotalNow(const Station& station) {
  return BlockTotal(station.image.HighestAddress);
}

// The 16 bytes of ProgramImage row `row`, or null for a row outside the image: read-back data
// for rows the image does not have are dropped.
std::uint8_t* ImageRow(MemoryImage& image, std::int64_t row) {
  if (row < 0 || row >= static_cast<std::int64_t>(kImageRows)) return nullptr;
  return image.ProgramImage.data() + static_cast<std::size_t>(row) * kRowBytes;
}

void Complete(Reply& r) { r.log.Result(" OK"); }

// The end of a program-memory read-back: a read-back that lost data in any block is no
// read-back of the target, whatever the image held where the data should have gone.
void FinishReadBack(Reply& r) {
  const bool whole = r.station.transfer.ShortBlocks == 0;
  r.log.Result(whole ? " OK" : " NG");
  r.station.flags.target.ReadDone = whole ? 1 : 2;
}

// --- identity, acknowledgements, results -------------------------------------------------

void Identity24(Reply& r) {
  const unsigned w1 = r.b[3] + 256u * r.b[4];
  const unsigned w2 = r.b[5] + 256u * r.b[6];
  const bool accepted = w1 == 0x00BF;
  r.log.Result(accepted ? " OK" : " NG");
  r.log.Identity("0x" + Hex(w1, 2) + " , 0x" + Hex(w2, 4));
  r.station.flags.target.DeviceIdResult = accepted ? 1 : 2;
}

void Identity16(Reply& r) {
  const std::uint8_t b4 = r.b[4];
  const std::uint8_t b5 = r.b[5];
  const bool accepted = b5 == 0x1C && (b4 & 0x20) != 0;
  r.log.Result(accepted ? " OK" : " NG");
  r.log.Identity("0x" + Hex(b5, 2) + " , 0x" + Hex(b4, 2));
  r.station.flags.target.DeviceIdResult = accepted ? 1 : 2;
}

void ConfigWritten(Reply& r) {
  Complete(r);
  r.station.flags.target.ConfigWriteDone = 1;
}

void ConfigRead(Reply& r) {
  std::memcpy(r.station.image.ConfigBytes.data(), r.b + 3, kConfigCount);
  Complete(r);
  r.station.flags.target.ConfigReadDone = 1;
}

void Erased(Reply& r) {
  Complete(r);
  r.station.flags.target.EraseDone = 1;
}

void ResetAcknowledged(Reply& r) {
  Complete(r);
  r.station.flags.target.ResetDone = 1;
}

void AutoProgramResult(Reply& r) {
  r.window.SetProgress(100);
  r.loop.PumpMessages();
  const bool succeeded = r.b[3] != 0;
  r.log.Result(succeeded ? " OK" : " NG");
  r.log.Ended(succeeded, r.now);
  r.station.flags.target.AutoProgramResult = r.b[3];
  r.station.flags.target.DeviceIdResult = 1;  // the value that ends the sequence's wait
}

// --- type-0 read-back ---------------------------------------------------------------------

void ReadStart24(Reply& r) {
  TransferState& t = r.station.transfer;
  t.ReadPhase = 1;
  t.ReadBlocks = 0;
  t.ReadRow = 0;
  t.ReadPage = 0;
  t.ReadOffset = 0;
  t.ShortBlocks = 0;
  r.followUp.ReadProgram();
}

void ReadAddressSet(Reply& r) {
  r.station.transfer.ReadPhase = 2;
  r.followUp.ReadProgram();
}

// Groups of 12 bytes from index 4, four 3-byte words each, lowest byte first; a row holds
// each word as pad 00, high, middle, low. Only whole groups that arrived are stored, and the
// block always takes its 256 rows, so a short reply leaves the rest of its rows as preset and
// the next block still lands where it belongs; the block is counted as short.
void StoreWords24(Reply& r) {
  constexpr std::size_t kHead = 4;
  constexpr std::size_t kGroup = 12;
  TransferState& t = r.station.transfer;
  const std::size_t groups = (r.count - kHead) / kGroup;
  if (groups < static_cast<std::size_t>(kReadBlockRows24)) t.ShortBlocks += 1;
  for (std::size_t g = 0; g < groups; ++g) {
    std::uint8_t* row = ImageRow(r.station.image, std::int64_t{t.ReadRow} + std::int64_t(g));
    if (row == nullptr) continue;
    const std::uint8_t* p = r.b + kHead + g * kGroup;
    for (std::size_t k = 0; k < 4; ++k) {
      row[4 * k] = 0;
      row[4 * k + 1] = p[3 * k + 2];
      row[4 * k + 2] = p[3 * k + 1];
      row[4 * k + 3] = p[3 * k];
    }
  }
  t.ReadRow = AdvanceRow(t.ReadRow, std::max<std::int64_t>(std::int64_t(groups), kReadBlockRows24));
}

void ReadData24(Reply& r) {
  TransferState& t = r.station.transfer;
  StoreWords24(r);
  t.ReadBlocks = CountUp(t.ReadBlocks);
  r.loop.PumpMessages();
  const std::int32_t total = BlockTotalNow(r.station);
  r.window.SetProgress(Percent(t.ReadBlocks, total));
  t.ReadOffset = CountUp(t.ReadOffset, 0x800);
  if (t.ReadBlocks % 4 == 0) {
    // Every fourth block the programmer wants its address again, on a new page past 64 K.
    if (t.ReadOffset == 0x10000) {
      t.ReadPage = CountUp(t.ReadPage);
      t.ReadOffset = 0;
    }
    t.ReadPhase = 4;
  } else {
    t.ReadPhase = t.ReadBlocks < total ? 2 : 3;
  }
  r.followUp.ReadProgram();
}

void ReadEnd(Reply& r) {
  r.station.transfer.ReadPhase = 0;
  FinishReadBack(r);
}

// --- types 1 and 2 read-back --------------------------------------------------------------

void ReadStart16(Reply& r) {
  TransferState& t = r.station.transfer;
  t.ReadPhase = 1;
  t.ReadBlocks = 0;
  t.ReadRow = 0;
  t.ShortBlocks = 0;
  r.followUp.ReadProgram(r.family);
}

// Rows of 16 bytes from index 5, each byte pair swapped. Whole rows only, and a short block
// counted, as for type 0.
void StoreRows16(Reply& r) {
  constexpr std::size_t kHead = 5;
  TransferState& t = r.station.transfer;
  const std::size_t rows = (r.count - kHead) / kRowBytes;
  if (rows < static_cast<std::size_t>(kReadBlockRows16)) t.ShortBlocks += 1;
  for (std::size_t g = 0; g < rows; ++g) {
    std::uint8_t* row = ImageRow(r.station.image, std::int64_t{t.ReadRow} + std::int64_t(g));
    if (row == nullptr) continue;
    const std::uint8_t* p = r.b + kHead + g * kRowBytes;
    for (std::size_t m = 0; m < kRowBytes / 2; ++m) {
      row[2 * m] = p[2 * m + 1];
      row[2 * m + 1] = p[2 * m];
    }
  }
  t.ReadRow = AdvanceRow(t.ReadRow, std::max<std::int64_t>(std::int64_t(rows), kReadBlockRows16));
}

void ReadData16(Reply& r) {
  TransferState& t = r.station.transfer;
  StoreRows16(r);
  t.ReadBlocks = CountUp(t.ReadBlocks);
  r.loop.PumpMessages();
  const std::int32_t total = RowOfFrames(r.family).transferBlocks;
  r.window.SetProgress(Percent(t.ReadBlocks, total));
  if (t.ReadBlocks < total) {
    r.followUp.ReadProgram(r.family);
    return;
  }
  FinishReadBack(r);
  t.ReadPhase = 0;
}

// --- program-memory writes ----------------------------------------------------------------

void WriteStart24(Reply& r) {
  r.station.transfer.WritePhase = 1;
  r.followUp.WriteProgram();
}

void WriteStart16(Reply& r) {
  r.station.transfer.WritePhase = 1;
  r.followUp.WriteProgram(r.family);
}

void FinishWrite(Reply& r) {
  r.station.transfer.WritePhase = 0;
  Complete(r);
  r.station.flags.target.WriteDone = 1;
}

void WriteData24(Reply& r) {
  TransferState& t = r.station.transfer;
  t.WriteBlocks = CountUp(t.WriteBlocks);
  const std::int32_t total = BlockTotalNow(r.station);
  r.window.SetProgress(Percent(t.WriteBlocks, total));
  r.loop.PumpMessages();
  if (t.WriteBlocks < total) {
    r.followUp.WriteProgram();
  } else {
    FinishWrite(r);
  }
}

void WriteData16(Reply& r) {
  TransferState& t = r.station.transfer;
  t.WriteBlocks = CountUp(t.WriteBlocks);
  const std::int32_t total = RowOfFrames(r.family).transferBlocks;
  r.window.SetProgress(Percent(t.WriteBlocks, total));
  r.loop.PumpMessages();
  if (t.WriteBlocks < total) {
    r.followUp.WriteProgram(r.family);
  } else {
    FinishWrite(r);
  }
}

// --- programmer flash -----------------------------------------------------------------------

void FlashErased(Reply& r) {
  Complete(r);
  r.station.flags.flash.FlashEraseDone = 1;
}

// The flash data blocks: 2,048 bytes, 1,024 for a type that moves a single block.
constexpr std::size_t kFlashReadBytes = 2048;
constexpr std::size_t kFlashReadBytes1K = 1024;

// The run's type (the window holds it for the run's length); a flash reply for no type is
// taken as no reply.
const TargetTypeRow* RunType(Reply& r) { return RowOf(r.window.SelectedType()); }

void FlashWritten(Reply& r) {
  TransferState& t = r.station.transfer;
  t.FlashBlocks = CountUp(t.FlashBlocks);
  const TargetTypeRow* type = RunType(r);
  if (type == nullptr) return;
  const int last = type->flashLastBlock;
  if (last == 0) {  // the single block
    r.window.SetProgress(100);
    r.station.flags.flash.FlashWriteDone = 1;
    return;
  }
  r.window.SetProgress(Percent(t.FlashBlocks, last));
  if (t.FlashBlocks <= last) {
    r.followUp.FlashWriteData();
  } else {
    r.station.flags.flash.FlashWriteDone = 1;
  }
}

// Copies the flash bytes that arrived (at most maxBytes, from index 4) into ProgramImage from
// row firstRow on, never past the image's end. A block with fewer bytes is counted as short.
void StoreFlashBytes(Reply& r, std::int64_t firstRow, std::size_t maxBytes) {
  constexpr std::size_t kHead = 4;
  if (r.count - kHead < maxBytes) r.station.transfer.ShortBlocks += 1;
  if (firstRow < 0 || firstRow >= static_cast<std::int64_t>(kImageRows)) return;
  const std::size_t start = static_cast<std::size_t>(firstRow) * kRowBytes;
  const std::size_t n = std::min({maxBytes, r.count - kHead, kImageBytes - start});
  std::memcpy(r.station.image.ProgramImage.data() + start, r.b + kHead, n);
}

// The flash sequence judges the read-back and writes its line; the flag tells it whether any
// block came short.
void FinishFlashReadBack(Reply& r) {
  r.station.flags.flash.FlashReadDone = r.station.transfer.ShortBlocks == 0 ? 1 : 2;
}

void FlashReadBlock(Reply& r) {
  TransferState& t = r.station.transfer;
  t.FlashBlocks = CountUp(t.FlashBlocks);
  const TargetTypeRow* type = RunType(r);
  if (type == nullptr) return;
  const int last = type->flashReadLastBlock;
  if (last == 0) {  // the single block: rows 0..63; ReadRow is not used
    r.window.SetProgress(100);
    StoreFlashBytes(r, 0, type->flashBlockBytes);
    FinishFlashReadBack(r);
    return;
  }
  r.window.SetProgress(Percent(t.FlashBlocks, last));
  StoreFlashBytes(r, t.ReadRow, type->flashBlockBytes);
  t.ReadRow = AdvanceRow(t.ReadRow, std::int64_t(type->flashBlockBytes / kRowBytes));
  if (t.FlashBlocks <= last) {
    r.followUp.FlashReadData();
  } else {
    FinishFlashReadBack(r);
  }
}

void FlashConfigWritten(Reply& r) { r.station.flags.flash.FlashConfigWriteDone = 1; }

void FlashConfigRead(Reply& r) {
  std::memcpy(r.station.image.ConfigBytes.data(), r.b + 4, kConfigCount);
  r.station.flags.flash.FlashConfigReadDone = 1;
}

void EraseCounterRead(Reply& r) {
  const std::uint32_t counter = (std::uint32_t{r.b[4]} << 24) | (std::uint32_t{r.b[5]} << 16) |
                                (std::uint32_t{r.b[6]} << 8) | std::uint32_t{r.b[7]};
  r.station.transfer.EraseCounter = counter;
  r.log.EraseCounter(counter);
  r.station.flags.flash.EraseCounterState = counter < kEraseCounterLimit ? 1 : 2;
}

void CounterWritten(Reply& r) { r.station.flags.flash.CounterWriteDone = 1; }

// Bytes of the type-0, types 1 and 2, and flash read-back data replies (a type-3 flash block
// is 4 + 1,024 bytes).
constexpr std::size_t kReadData24Bytes = 4 + 3 * 4 * kReadBlockRows24;
constexpr std::size_t kReadData16Bytes = 5 + kRowBytes * kReadBlockRows16;
constexpr std::size_t kFlashReadDataBytes = 4 + kFlashReadBytes;
constexpr std::size_t kFlashReadData1KBytes = 4 + kFlashReadBytes1K;

// Every reply the programmer gives, by the header of the command it answers (after the lead
// byte 0x1F), with the bytes its handling reads and the bytes the programmer sends. No two
// heads can match the same read.
constexpr std::array kReplies = {
    Entry{"RI", 7, 7, Identity24, -1},
    Entry{"8RI", 6, 6, Identity16, 0},
    Entry{"9RI", 6, 6, Identity16, 1},
    Entry{"WC", 3, 3, ConfigWritten, -1},
    Entry{"RC", 3 + kConfigCount, 3 + kConfigCount, ConfigRead, -1},
    Entry{"E", 2, 3, Erased, -1},  // the byte after 'E' is not looked at
    Entry{"8E", 3, 3, Erased, 0},
    Entry{"9E", 3, 3, Erased, 1},
    Entry{"S", 2, 3, ResetAcknowledged, -1},  // nor the byte after 'S'
    Entry{"RDS", 4, 4, ReadStart24, -1},
    Entry{"RDC", 4, 4, ReadAddressSet, -1},
    Entry{"RDD", 4, kReadData24Bytes, ReadData24, -1},
    Entry{"RDE", 4, 4, ReadEnd, -1},
    Entry{"8RDS", 5, 5, ReadStart16, 0},
    Entry{"8RDD", 5, kReadData16Bytes, ReadData16, 0},
    Entry{"9RDS", 5, 5, ReadStart16, 1},
    Entry{"9RDD", 5, kReadData16Bytes, ReadData16, 1},
    Entry{"WDS", 4, 4, WriteStart24, -1},
    Entry{"WDD", 4, 4, WriteData24, -1},
    Entry{"8WS", 4, 4, WriteStart16, 0},
    Entry{"8WD", 4, 4, WriteData16, 0},
    Entry{"9WS", 4, 4, WriteStart16, 1},
    Entry{"9WD", 4, 4, WriteData16, 1},
    Entry{"TA", 4, 4, AutoProgramResult, -1},
    Entry{"FE", 3, 3, FlashErased, -1},
    Entry{"8FE", 4, 4, FlashErased, 0},
    Entry{"9FE", 4, 4, FlashErased, 1},
    Entry{"TFE", 4, 4, FlashErased, -1},
    Entry{"FWD", 4, 4, FlashWritten, -1},
    Entry{"FRD", 4, kFlashReadDataBytes, FlashReadBlock, -1},
    Entry{"FWC", 4, 4, FlashConfigWritten, -1},
    Entry{"FRC", 4 + kConfigCount, 4 + kConfigCount, FlashConfigRead, -1},
    Entry{"FRE", 8, 8, EraseCounterRead, -1},
    Entry{"FWE", 4, 4, CounterWritten, -1},
};

constexpr std::uint8_t kLead = 0x1F;

bool HeadMatches(const Entry& entry, const std::uint8_t* bytes, std::size_t count) {
  if (count < 1 + entry.letters.size() || bytes[0] != kLead) return false;
  return std::memcmp(bytes + 1, entry.letters.data(), entry.letters.size()) == 0;
}

}  // namespace

BurstSoFar ReplyEnd::Judge(const std::uint8_t* bytes, std::size_t count) const {
  for (const Entry& entry : kReplies) {
    if (!HeadMatches(entry, bytes, count)) continue;
    // A flash data block is shorter for type 3; its head does not tell, the run's type does.
    std::size_t whole = entry.whole;
    std::size_t shortest = entry.whole;
    if (entry.handle == FlashReadBlock) {
      const TargetTypeRow* type = RowOf(targetType_.load(std::memory_order_relaxed));
      shortest = kFlashReadData1KBytes;
      whole = type != nullptr ? 4 + type->flashBlockBytes : 0;
    }
    // Until the reply's own bytes are all here, a pause inside it does not end it.
    if (count < shortest || count < whole) return BurstSoFar::Awaiting;
    if (whole == 0) return BurstSoFar::Open;
    // A status report may arrive in the middle of a reply and lengthens its burst; ESC at the
    // end may be the start of one. Bytes of read-back data that happen to look like a report
    // make the burst look longer than it is: the gap ends it then, as before.
    const StatusReportSpan reports = SpanOfStatusReports(bytes, count);
    return !reports.openAtEnd && count == whole + reports.bytes ? BurstSoFar::Whole
                                                                : BurstSoFar::Open;
  }
  return BurstSoFar::Open;
}

bool DecodeReply(Station& station, WindowOps& window, MessageLoop& loop, FollowUpSender& followUp,
                 std::time_t now) {
  const std::uint8_t* bytes = station.rx.bytes.data();
  const std::size_t count = std::min<std::size_t>(station.rx.RxCount, kMaxBurst);
  for (const Entry& entry : kReplies) {
    if (!HeadMatches(entry, bytes, count)) continue;
    // A reply cut short by a pause is not taken from what earlier reads left in the buffer.
    if (count < entry.length) return false;
    // Only the answer to the command sent last counts, once: a late or repeated reply to an
    // earlier one would complete the wrong step.
    if (!station.awaited.Answers(entry.letters)) return false;
    station.awaited.pending = false;  // a follow-up frame the handling sends is awaited anew
    Reply reply{station,  window,       loop,
                followUp, bytes,        count,
                now,      entry.family, RunLog(window, *station.events)};
    entry.handle(reply);
    return true;
  }
  return false;
}

}  // namespace kv218

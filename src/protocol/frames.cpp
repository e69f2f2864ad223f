#include "protocol/frames.h"

#include <cstddef>
#include <string_view>

#include "protocol/run_log.h"

namespace kv218 {
namespace {

constexpr std::uint8_t kLead = 0x1F;
constexpr std::uint8_t kErased = 0xFF;  // sent for rows the image does not have

// Type-0 write blocks: 256 rows (1,024 words) each up to block 84, 128 rows from block 85 on.
constexpr std::int32_t kFullBlocks24 = 85;
constexpr std::int32_t kFullBlockRows24 = 256;
constexpr std::int32_t kLastBlockRows24 = 128;
constexpr std::int32_t kWriteBlockRows16 = 64;
constexpr std::int32_t kFlashWriteRows = 256;

void Add(TxBuffer& tx, std::string_view letters) {
  for (char c : letters) tx.TxAdd(static_cast<std::uint8_t>(c));
}

// Starts a frame: lead byte, the family byte (0: none), the letters.
void BeginWithByte(TxBuffer& tx, char familyByte, std::string_view letters) {
  tx.TxClear();
  tx.TxAdd(kLead);
  if (familyByte != 0) tx.TxAdd(static_cast<std::uint8_t>(familyByte));
  Add(tx, letters);
}

// The same for family 0 ('8') or 1 ('9'), none else.
void Begin(TxBuffer& tx, int family, std::string_view letters) {
  BeginWithByte(tx, family == 0 ? '8' : family == 1 ? '9' : 0, letters);
}

void Begin(TxBuffer& tx, std::string_view letters) { Begin(tx, kNoFamily, letters); }

// Sends the frame built, noting its header as the command whose reply is awaited; answered is
// false for the frames the programmer answers with no reply.
void Send(Station& station, bool answered = true) {
  const TxBuffer& tx = station.tx;
  station.awaited.Sent(tx.bytes.data(), static_cast<std::size_t>(tx.TxLength()), answered);
  TxSend(station.port, tx, tx.TxLength());
}

// Row `row` of ProgramImage, or null for a row outside it.
const std::uint8_t* ImageRow(const MemoryImage& image, std::int64_t row) {
  if (row < 0 || row >= static_cast<std::int64_t>(kImageRows)) return nullptr;
  return image.ProgramImage.data() + static_cast<std::size_t>(row) * kRowBytes;
}

// Appends `rows` whole rows from `first` on, 16 bytes each as stored.
void AddRows(TxBuffer& tx, const MemoryImage& image, std::int64_t first, std::int64_t rows) {
  for (std::int64_t r = first; r < first + rows; ++r) {
    const std::uint8_t* row = ImageRow(image, r);
    for (std::size_t i = 0; i < kRowBytes; ++i) tx.TxAdd(row != nullptr ? row[i] : kErased);
  }
}

// Appends `rows` rows from `first` on as 24-bit words: each 4-byte group without its pad byte.
void AddWords24(TxBuffer& tx, const MemoryImage& image, std::int64_t first, std::int64_t rows) {
  for (std::int64_t r = first; r < first + rows; ++r) {
    const std::uint8_t* row = ImageRow(image, r);
    for (std::size_t i = 0; i < kRowBytes; ++i) {
      if (i % 4 == 0) continue;  // the pad byte stays home
      tx.TxAdd(row != nullptr ? row[i] : kErased);
    }
  }
}

// The read-back start preset: every 4-byte group of rows 0..21,887 becomes 00 FF FF FF, so
// words the programmer never returns read as erased.
void PresetReadBack(MemoryImage& image) {
  std::uint8_t* bytes = image.ProgramImage.data();
  for (std::size_t i = 0; i < kProgramRows24 * kRowBytes; ++i) bytes[i] = i % 4 == 0 ? 0x00 : 0xFF;
}

}  // namespace

RunLog Frames::Log() { return RunLog(window_, *station_.events); }

void Frames::BeginRun() {
  Begin(station_.tx, "MS");
  Send(station_, false);
}

void Frames::EndRun() {
  Begin(station_.tx, "ME");
  Send(station_, false);
}

void Frames::ReadDeviceId() { ReadDeviceId(-1); }

void Frames::ReadDeviceId(int family) {
  Begin(station_.tx, family, "RI");
  Log().Step(kReadDeviceIdStep);
  Send(station_);
}

void Frames::BulkErase() { BulkErase(-1); }

void Frames::BulkErase(int family) {
  Begin(station_.tx, family, "E");
  Log().Step(kBulkEraseStep);
  Send(station_);
}

void Frames::WriteProgram() {
  TransferState& t = station_.transfer;
  TxBuffer& tx = station_.tx;
  switch (t.WritePhase) {
    case 0:
      Begin(tx, "WDS");
      Log().Step(kWriteProgramStep);
      t.WriteRow = 0;
      t.WriteBlocks = 0;
      break;
    case 1: {
      const std::int32_t rows = t.WriteBlocks < kFullBlocks24 ? kFullBlockRows24 : kLastBlockRows24;
      Begin(tx, "WDD");
      AddWords24(tx, station_.image, t.WriteRow, rows);
      t.WriteRow = CountUp(t.WriteRow, rows);
      break;
    }
    default:  // an unknown phase still sends the bare header
      Begin(tx, "WD");
      break;
  }
  Send(station_);
}

void Frames::WriteProgram(int family) {
  TransferState& t = station_.transfer;
  TxBuffer& tx = station_.tx;
  switch (t.WritePhase) {
    case 0:
      Begin(tx, family, "WS");
      Log().Step(kWriteProgramStep);
      t.WriteRow = 0;
      t.WriteBlocks = 0;
      break;
    case 1:
      Begin(tx, family, "WD");
      AddRows(tx, station_.image, t.WriteRow, kWriteBlockRows16);
      t.WriteRow = CountUp(t.WriteRow, kWriteBlockRows16);
      break;
    default:
      Begin(tx, family, "W");
      break;
  }
  Send(station_);
}

void Frames::ReadProgram() { ReadProgram24(kReadProgramStep); }

void Frames::ReadProgram(int family) { ReadProgram16(family, kReadProgramStep); }

void Frames::ReadProgramAs(TargetType targetType, std::string_view stepLine) {
  const TargetTypeRow* row = RowOf(targetType);
  if (row != nullptr && row->layout == ImageLayout::Words24) {
    ReadProgram24(stepLine);
  } else {
    ReadProgram16(FamilyOf(targetType), stepLine);
  }
}

void Frames::ReadProgram24(std::string_view stepLine) {
  const TransferState& t = station_.transfer;
  TxBuffer& tx = station_.tx;
  switch (t.ReadPhase) {
    case 0:
      window_.SetProgress(0);
      Log().Step(stepLine);
      PresetReadBack(station_.image);
      Begin(tx, "RDS");
      break;
    case 1:  // the first address: page 0, offset 0
      Begin(tx, "RDC");
      tx.TxAdd(0);
      tx.TxAdd(0);
      tx.TxAdd(0);
      break;
    case 2:
      Begin(tx, "RDD");
      break;
    case 3:
      Begin(tx, "RDE");
      break;
    case 4:
      Begin(tx, "RDC");
      tx.TxAdd(static_cast<std::uint8_t>(t.ReadPage & 0xFF));
      tx.TxAdd(static_cast<std::uint8_t>((t.ReadOffset >> 8) & 0xFF));
      tx.TxAdd(static_cast<std::uint8_t>(t.ReadOffset & 0xFF));
      break;
    default:
      Begin(tx, "RD");
      break;
  }
  Send(station_);
}

void Frames::ReadProgram16(int family, std::string_view stepLine) {
  TxBuffer& tx = station_.tx;
  switch (station_.transfer.ReadPhase) {
    case 0:
      window_.SetProgress(0);
      Log().Step(stepLine);
      PresetReadBack(station_.image);
      Begin(tx, family, "RDS");
      break;
    case 1:
      Begin(tx, family, "RDD");
      break;
    default:
      Begin(tx, family, "RD");
      break;
  }
  Send(station_);
}

void Frames::WriteConfig() {
  Begin(station_.tx, "WC");
  for (std::uint8_t value : station_.image.ConfigBytes) station_.tx.TxAdd(value);
  Log().Step(kWriteConfigStep);
  Send(station_);
}

void Frames::ReadConfig() { ReadConfig(kReadConfigStep); }

void Frames::ReadConfig(std::string_view stepLine) {
  Begin(station_.tx, "RC");
  Log().Step(stepLine);
  Send(station_);
}

void Frames::ResetTarget() {
  Begin(station_.tx, "S");
  Send(station_);
}

void Frames::AutoProgram() {
  window_.SetProgress(0);
  Begin(station_.tx, "TA");
  AddRows(station_.tx, station_.image, 0, static_cast<std::int64_t>(kProgramRows1K));
  Log().Step(kAutoProgramStep);
  Send(station_);
}

void Frames::FlashErase(TargetType targetType) {
  // Type 3's flash has a family letter of its own; the others go as their target frames do,
  // and a value that is no type without one.
  const TargetTypeRow* row = RowOf(targetType);
  BeginWithByte(station_.tx, row != nullptr ? row->flashEraseFamily : 0, "FE");
  Send(station_);
}

void Frames::FlashWriteData() {
  Begin(station_.tx, "FWD");
  const std::int64_t first = std::int64_t{station_.transfer.FlashBlocks} * kFlashWriteRows;
  AddRows(station_.tx, station_.image, first, kFlashWriteRows);
  Send(station_);
}

void Frames::FlashReadData() {
  Begin(station_.tx, "FRD");
  station_.tx.TxAdd(static_cast<std::uint8_t>(station_.transfer.FlashBlocks & 0xFF));
  Send(station_);
}

void Frames::FlashWriteConfig() {
  Begin(station_.tx, "FWC");
  for (std::uint8_t value : station_.image.ConfigBytes) station_.tx.TxAdd(value);
  Send(station_);
}

void Frames::FlashReadConfig() {
  Begin(station_.tx, "FRC");
  Send(station_);
}

void Frames::ReadEraseCounter() {
  Begin(station_.tx, "FRE");
  Send(station_);
}

void Frames::WriteEraseCounter() {
  std::uint32_t& counter = station_.transfer.EraseCounter;
  counter += 1;  // wraps at 2^32
  Begin(station_.tx, "FWE");
  for (int shift = 24; shift >= 0; shift -= 8) {
    station_.tx.TxAdd(static_cast<std::uint8_t>((counter >> shift) & 0xFF));
  }
  Send(station_);
}

void Frames::QueryInfo() {
  Begin(station_.tx, "-");
  Send(station_, false);  // its answer is a note, never a reply
}

}  // namespace kv218

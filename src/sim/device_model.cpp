#include "sim/device_model.h"

#include <algorithm>
#include <cstring>

namespace kv218::sim {

namespace {

bool IsFlashCommand(Command command) {
  switch (command) {
    case Command::FlashErase:
    case Command::FlashWriteData:
    case Command::FlashReadData:
    case Command::FlashWriteConfig:
    case Command::FlashReadConfig:
    case Command::ReadEraseCounter:
    case Command::WriteEraseCounter:
      return true;
    default:
      return false;
  }
}

// A one-byte result the host does not look at (BulkErase of type 0, ResetTarget).
constexpr std::uint8_t kDone = 0x00;

}  // namespace

DeviceModel::DeviceModel(DeviceOptions options)
    : options_(std::move(options)), silentSeen_(options_.faults.All().size(), 0) {
  options_.eraseTime =
      std::clamp(options_.eraseTime, std::chrono::milliseconds{0}, kLongestOperation);
  options_.programTime =
      std::clamp(options_.programTime, std::chrono::milliseconds{0}, kLongestOperation);
  ApplyStartFaults();
}

void DeviceModel::ApplyStartFaults() {
  if (const Fault* fault = options_.faults.Find(FaultKind::EraseCounter)) {
    memory_.flash.EraseCounter = fault->number;
  }
}

std::size_t DeviceModel::Type0BlockBytes() const {
  const std::size_t rows =
      counters_.type0WriteBlocks < kType0FullBlocks ? kType0BlockRows : kType0BlockRows / 2;
  return rows * kType0RowBytes;
}

std::size_t DeviceModel::Feed(const std::uint8_t* data, std::size_t count) {
  std::size_t taken = 0;
  while (taken < count && !counters_.hungUp &&
         output_.Capacity() - output_.Size() >= kMostBurstsPerFrame) {
    std::size_t used = 0;
    const bool complete = assembler_.Take(data + taken, count - taken, used, Type0BlockBytes());
    taken += used;
    if (complete) Handle(assembler_.Current());
  }
  // Once the line is down, whatever else arrives is lost with it.
  return counters_.hungUp ? count : taken;
}

DeviceModel::Reply DeviceModel::BeginReply(const Frame& frame, std::chrono::milliseconds delay) {
  const auto interval = IsFlashCommand(frame.command) ? kFlashKeepAlive : kTargetKeepAlive;
  delay = std::min(delay, kLongestOperation);
  while (delay > interval) {
    if (Burst* keepAlive = output_.PushBack()) {
      keepAlive->delay = interval;
      keepAlive->Append(kKeepAliveByte);
    }
    delay -= interval;
  }
  Reply reply;
  reply.burst = output_.PushBack();
  if (reply.burst != nullptr) {
    reply.burst->delay = delay;
    reply.burst->Append(frame.bytes, frame.headerSize);  // every answer repeats the header
    reply.payloadStart = reply.burst->size;
  }
  return reply;
}

void DeviceModel::Answer(const Frame& frame, std::chrono::milliseconds delay) {
  FinishReply(frame, BeginReply(frame, delay), false, false);
}

void DeviceModel::AnswerData(const Frame& frame, const std::uint8_t* data, std::size_t count,
                             std::chrono::milliseconds delay) {
  const Reply reply = BeginReply(frame, delay);
  if (reply.burst != nullptr) reply.burst->Append(data, count);
  FinishReply(frame, reply, false, false);
}

void DeviceModel::Handle(const Frame& frame) {
  ++framesHandled_;
  if (observer_) observer_(frame);
  if (SilencedByFault(frame) || HangsUpAt(frame)) return;

  const int type = frame.targetType;
  TargetMemory& target = memory_.target;
  FlashMemory& flash = memory_.flash;
  const auto& faults = options_.faults;
  switch (frame.command) {
    case Command::BeginRun:
    case Command::EndRun:
    case Command::Phaseless:
      break;
    case Command::QueryInfo: {
      const Reply reply = BeginReply(frame, {});
      if (reply.burst == nullptr) break;
      if (options_.factorySetting) {
        reply.burst->Append('S');
      } else {
        reply.burst->Append('F');
        const std::size_t room = kBurstCapacity - reply.burst->size - 16;  // leave fault room
        reply.burst->Append(reinterpret_cast<const std::uint8_t*>(options_.note.data()),
                            std::min(options_.note.size(), room));
      }
      FinishReply(frame, reply, false, false);
      break;
    }
    case Command::ReadDeviceId: {
      const bool bad = faults.Has(FaultKind::BadIdentity);
      if (type == 0) {
        AnswerData(frame, bad ? kBadIdentity0 : kIdentity0, sizeof kIdentity0);
      } else {
        AnswerData(frame, bad ? kBadIdentity16 : kIdentity16, sizeof kIdentity16);
      }
      break;
    }
    case Command::BulkErase:
      EraseTarget(target, type);
      if (type == 0) {
        AnswerData(frame, &kDone, 1, options_.eraseTime);
      } else {
        Answer(frame, options_.eraseTime);
      }
      break;
    case Command::WriteStart:
      if (type == 0) {
        counters_.type0WriteBlocks = 0;
        counters_.type0WriteRow = 0;
      } else {
        counters_.writeRow16[type - 1] = 0;
      }
      Answer(frame);
      break;
    case Command::WriteData:
      if (type == 0) {
        WriteType0Block(frame);
      } else {
        WriteBlock16(frame);
      }
      Answer(frame, options_.programTime);
      break;
    case Command::ReadStart:
      if (type == 0) {
        counters_.type0ReadAddress = 0;
      } else {
        counters_.readRow16[type - 1] = 0;
      }
      counters_.readBackStarted[type] = true;
      Answer(frame);
      break;
    case Command::ReadSetAddress: {
      const std::uint8_t* p = frame.Payload();
      counters_.type0ReadAddress = static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
      Answer(frame);
      break;
    }
    case Command::ReadData:
      if (type == 0) {
        ReadType0Block(frame);
      } else {
        ReadBlock16(frame);
      }
      break;
    case Command::ReadEnd:
      Answer(frame);
      break;
    case Command::WriteConfig:
      std::copy_n(frame.Payload(), kConfigBytes, target.config24.begin());
      Answer(frame, options_.programTime);
      break;
    case Command::ReadConfig:
      AnswerData(frame, target.config24.data(), kConfigBytes);
      break;
    case Command::ResetTarget:
      AnswerData(frame, &kDone, 1);
      break;
    case Command::AutoProgram: {
      // The host's rows hold each 16-bit word with its bytes swapped.
      for (std::size_t i = 0; i + 1 < kAutoProgramBytes; i += 2) {
        target.memory1K[i] = frame.Payload()[i + 1];
        target.memory1K[i + 1] = frame.Payload()[i];
      }
      const std::uint8_t result = faults.Has(FaultKind::AutoProgramFails) ? 0 : 1;
      AnswerData(frame, &result, 1, options_.eraseTime + options_.programTime);
      break;
    }
    case Command::FlashErase:
      EraseFlash(flash, type);
      counters_.flashWriteRow = 0;
      Answer(frame, options_.eraseTime);
      break;
    case Command::FlashWriteData: {
      const std::size_t at = counters_.flashWriteRow * kv218::kRowBytes;
      if (at < kFlashBytes) {
        std::copy_n(frame.Payload(), std::min(kFlashWriteBytes, kFlashBytes - at),
                    flash.rows.begin() + static_cast<std::ptrdiff_t>(at));
      }
      counters_.flashWriteRow += kFlashWriteBytes / kv218::kRowBytes;
      flash.holdsImage = true;
      Answer(frame, options_.programTime);
      break;
    }
    case Command::FlashReadData:
      ReadFlashBlock(frame);
      break;
    case Command::FlashWriteConfig:
      std::copy_n(frame.Payload(), kConfigBytes, flash.config.begin());
      Answer(frame, options_.programTime);
      break;
    case Command::FlashReadConfig:
      AnswerData(frame, flash.config.data(), kConfigBytes);
      break;
    case Command::ReadEraseCounter: {
      const std::uint32_t n = flash.EraseCounter;
      const std::uint8_t count[4] = {
          static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
          static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
      AnswerData(frame, count, sizeof count);
      break;
    }
    case Command::WriteEraseCounter: {
      const std::uint8_t* p = frame.Payload();
      flash.EraseCounter = static_cast<std::uint32_t>(p[0]) << 24 |
                           static_cast<std::uint32_t>(p[1]) << 16 |
                           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
      Answer(frame);
      break;
    }
  }
}

}  // namespace kv218::sim

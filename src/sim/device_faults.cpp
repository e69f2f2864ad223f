// The faults the simulated programmer commits on request: which frames they hit, and how they
// bend an answer once it is built.

#include <cstring>

#include "sim/device_model.h"

namespace kv218::sim {

namespace {

bool IsBlockFrame(Command command) {
  return command == Command::WriteData || command == Command::ReadData ||
         command == Command::FlashWriteData || command == Command::FlashReadData;
}

// The answers that carry data: the ones a short-reply fault without command cuts.
bool IsDataAnswer(Command command) {
  return command == Command::ReadData || command == Command::FlashReadData ||
         command == Command::ReadConfig || command == Command::FlashReadConfig;
}

}  // namespace

bool DeviceModel::FaultAppliesTo(FaultKind kind, const Frame& frame) const {
  for (const Fault& fault : options_.faults.All()) {
    if (fault.kind != kind) continue;
    if (fault.command.empty() ? kind != FaultKind::ShortReply || IsDataAnswer(frame.command)
                              : frame.LettersAre(fault.command.c_str())) {
      return true;
    }
  }
  return false;
}

bool DeviceModel::SilencedByFault(const Frame& frame) {
  bool silent = false;
  const auto& faults = options_.faults.All();
  for (std::size_t i = 0; i < faults.size(); ++i) {
    if (faults[i].kind != FaultKind::SilentAt || !frame.LettersAre(faults[i].command.c_str())) {
      continue;
    }
    if (++silentSeen_[i] == faults[i].number) silent = true;
  }
  return silent;
}

bool DeviceModel::HangsUpAt(const Frame& frame) {
  const Fault* fault = options_.faults.Find(FaultKind::HangupMidTransfer);
  if (fault == nullptr || !IsBlockFrame(frame.command)) return false;
  if (++counters_.blockFrames != fault->number) return false;
  counters_.hungUp = true;
  assembler_.Reset();
  if (Burst* burst = output_.PushBack()) burst->hangUp = true;
  return true;
}

void DeviceModel::FinishReply(const Frame& frame, const Reply& reply, bool isReadBack,
                              bool corrupt) {
  Burst* burst = reply.burst;
  if (burst == nullptr) return;
  auto& bytes = burst->bytes;
  const std::size_t payload = burst->size - reply.payloadStart;
  if (corrupt && payload > 1) bytes[reply.payloadStart + 1] ^= 0x01;
  if (payload > 0 && FaultAppliesTo(FaultKind::ShortReply, frame)) {
    burst->size = reply.payloadStart + payload / 2;
  }
  if (isReadBack && options_.faults.Has(FaultKind::StatusInData)) {
    const std::uint16_t block = static_cast<std::uint16_t>(++counters_.dataAnswers);
    const std::uint8_t report[5] = {0x1B, 'S', 0x02, static_cast<std::uint8_t>(block >> 8),
                                    static_cast<std::uint8_t>(block)};
    const std::size_t at = reply.payloadStart + (burst->size - reply.payloadStart) / 2;
    std::memmove(bytes.data() + at + sizeof report, bytes.data() + at, burst->size - at);
    std::memcpy(bytes.data() + at, report, sizeof report);
    burst->size += sizeof report;
  }
  if (FaultAppliesTo(FaultKind::NoiseBeforeReply, frame)) {
    std::memmove(bytes.data() + sizeof kNoise, bytes.data(), burst->size);
    std::memcpy(bytes.data(), kNoise, sizeof kNoise);
    burst->size += sizeof kNoise;
  }
  const Fault* pause = options_.faults.Find(FaultKind::PauseInReply);
  if (isReadBack && pause != nullptr) {
    burst->pauseAfter = burst->size / 2;
    burst->pause = std::chrono::milliseconds(pause->number);
  }
}

}  // namespace kv218::sim

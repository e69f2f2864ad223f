#include "sim/in_process_port.h"

#include <algorithm>

namespace kv218::sim {

InProcessPort::InProcessPort(DeviceModel& model, kv218::MessageLoop& loop)
    : model_(model), loop_(loop) {}

bool InProcessPort::Open(const std::string& /*path*/, const std::string& /*settings*/) {
  if (openFails_) return false;
  open_ = true;
  std::lock_guard lock(mutex_);
  interrupted_ = false;
  return true;
}

void InProcessPort::Close() {
  open_ = false;
  InterruptRead();
}

bool InProcessPort::Send(const std::uint8_t* data, std::size_t count) {
  if (!open_ || hungUp_) return false;
  while (count > 0) {
    const std::size_t taken = model_.Feed(data, count);
    data += taken;
    count -= taken;
    PostDeviceOutput();  // drains the model, so the next Feed always has room
  }
  return true;
}

void InProcessPort::PostDeviceOutput() {
  BurstQueue& output = model_.Output();
  for (; !output.Empty(); output.PopFront()) {
    const Burst& burst = output.Front();
    if (burst.hangUp) {
      std::lock_guard lock(mutex_);
      hungUp_ = true;
      wake_.notify_all();
      continue;
    }
    Burst* kept = queue_.PushBack();
    if (kept == nullptr) continue;
    kept->size = burst.size;
    std::copy_n(burst.bytes.begin(), burst.size, kept->bytes.begin());
    loop_.Post([this] { Deliver(); });
  }
}

void InProcessPort::Deliver() {
  if (queue_.Empty()) return;
  // Taken off the queue before the receiver runs: the receiver may send (queueing more
  // bursts into the ring) or pump messages (handing over the next burst) before it returns,
  // and each burst must reach it exactly once, in order.
  const Burst burst = queue_.Front();
  queue_.PopFront();
  if (receiver_ && open_) receiver_(burst.bytes.data(), burst.size);  // closing discards
}

kv218::ReadStatus InProcessPort::ReadBurst(std::uint8_t* /*buffer*/, std::size_t /*capacity*/,
                                           std::size_t& count, const kv218::BurstEnd* /*end*/) {
  count = 0;
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return interrupted_ || hungUp_; });
  return interrupted_ ? kv218::ReadStatus::Interrupted : kv218::ReadStatus::Failed;
}

void InProcessPort::InterruptRead() {
  std::lock_guard lock(mutex_);
  interrupted_ = true;
  wake_.notify_all();
}

}  // namespace kv218::sim

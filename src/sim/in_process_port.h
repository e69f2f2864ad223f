#pragma once
// The simulated programmer as a port, without any line: for deterministic host tests and for
// a host that simulates in-process. Send feeds the device model at once; every burst it answers
// with is kept in the port's own queue and handed to the receiver by a message posted to the
// window thread's loop, one message per burst, in order. Operation times are ignored, and so
// is a pause inside a burst (the pause-in-reply fault): each burst arrives whole.
// No receive thread is needed (one may run: ReadBurst just waits until it is interrupted).
// The programmer's bursts are whole and one reply each, so how a line would end them (at the
// gap, or when a reply's length has arrived) makes no difference here.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "ground/message_loop.h"
#include "port/port_channel.h"
#include "sim/burst.h"
#include "sim/device_model.h"

namespace kv218::sim {

class InProcessPort : public kv218::PortChannel {
 public:
  using Receiver = std::function<void(const std::uint8_t*, std::size_t)>;

  // The loop must not run this port's messages after the port is gone.
  InProcessPort(DeviceModel& model, kv218::MessageLoop& loop);

  // Called on the window thread with each burst the programmer sends.
  void SetReceiver(Receiver receiver) { receiver_ = std::move(receiver); }
  // Makes later Opens fail, as for a device that does not exist.
  void SetOpenFails(bool fails) { openFails_ = fails; }

  bool Open(const std::string& path, const std::string& settings) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  // False when the port is not open or the programmer has hung up.
  bool Send(const std::uint8_t* data, std::size_t count) override;
  // Blocks until InterruptRead; Failed at once after a hang-up.
  kv218::ReadStatus ReadBurst(std::uint8_t* buffer, std::size_t capacity, std::size_t& count,
                              const kv218::BurstEnd* end) override;
  void InterruptRead() override;

  // Hands over what the model queued on its own (a stand-alone run's status reports).
  void PostDeviceOutput();
  bool HungUp() const { return hungUp_; }
  // Bursts lost because the port's queue was full.
  std::size_t DroppedBursts() const { return queue_.Dropped(); }

 private:
  void Deliver();  // the posted message: the oldest kept burst to the receiver

  DeviceModel& model_;
  kv218::MessageLoop& loop_;
  Receiver receiver_;
  BurstQueue queue_;
  std::atomic<bool> open_ = false;
  bool openFails_ = false;

  std::mutex mutex_;  // ReadBurst runs on another thread
  std::condition_variable wake_;
  bool interrupted_ = false;
  std::atomic<bool> hungUp_ = false;
};

}  // namespace kv218::sim

#pragma once
// A message loop with nothing to deliver, for code that runs on one thread without a timer
// (the protocol's and the loader's tests, the benchmarks, the fuzz targets): a call for the
// window thread and a posted one run at once. Pumping and waiting have nothing to do but are
// counted, and onPump lets a test act as a message that arrives at that moment. Header-only.

#include <functional>

#include "ground/message_loop.h"

namespace kv218::testing {

class ImmediateLoop final : public MessageLoop {
 public:
  void PumpMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
  // Nothing can arrive, so nothing is waited for; counted as a pump.
  void WaitForMessages() override { ++pumps; }
  bool RunOnWindowThread(const std::function<void()>& fn) override {
    fn();
    return true;
  }
  void Post(std::function<void()> fn) override { fn(); }
  void SetTickTimer(bool) override {}
  void SetTickHandler(std::function<void()>) override {}

  int pumps = 0;
  std::function<void()> onPump;
};

}  // namespace kv218::testing

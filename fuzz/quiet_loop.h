#pragma once
// A message loop with nothing to deliver: the fuzz targets run on one thread, without a
// timer, so pumping has nothing to do and a call for the window thread runs at once.

#include <functional>

#include "ground/message_loop.h"

namespace kv218::fuzz {

class QuietLoop final : public MessageLoop {
 public:
  void PumpMessages() override {}
  void WaitForMessages() override {}
  bool RunOnWindowThread(const std::function<void()>& fn) override {
    fn();
    return true;
  }
  void Post(std::function<void()> fn) override { fn(); }
  void SetTickTimer(bool) override {}
  void SetTickHandler(std::function<void()>) override {}
};

}  // namespace kv218::fuzz

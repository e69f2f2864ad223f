#include "cli/signal_watcher.h"

namespace kv218::cli {

Interrupt InterruptTally::Take(std::chrono::steady_clock::time_point now) {
  if (!first_) {
    first_ = now;
    return Interrupt::First;
  }
  return now - *first_ >= std::chrono::seconds(1) ? Interrupt::GiveUp : Interrupt::Echo;
}

}  // namespace kv218::cli

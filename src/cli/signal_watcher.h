#pragma once
// Ctrl-C and SIGTERM, taken from a thread of their own (signalfd) instead of a handler, so
// that they can be handed to the window threads as ordinary messages. Another one at least
// a second later, while the first is still being handled, gives up at once; one sooner is
// taken for the same request delivered twice (to a process group, through a wrapper).

#include <signal.h>

#include <functional>
#include <thread>

namespace kv218::cli {

class SignalWatcher {
 public:
  // Blocks the signals for the calling thread and every thread started after it; create it
  // before any other thread of the command. onFirst runs on the watcher's thread.
  explicit SignalWatcher(std::function<void()> onFirst);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  void Watch();

  std::function<void()> onFirst_;
  sigset_t signals_{};
  sigset_t previous_{};
  int signalFd_ = -1;
  int stopFd_ = -1;
  std::thread thread_;
};

}  // namespace kv218::cli

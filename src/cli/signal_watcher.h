#pragma once
// Ctrl-C, taken outside of the threads that run the programmers so that it can be handed to
// them as an ordinary message. Another one at least a second later, while the first is still
// being handled, gives up at once with the interrupted status; one sooner is taken for the
// same request delivered twice (to a process group, through a wrapper). One source per
// platform: a signalfd thread for SIGINT, SIGTERM and SIGHUP (the terminal closed; not when
// started ignoring it, as nohup does) on Linux (signal_watcher_posix.cpp), the console control
// handler for Ctrl-C, Ctrl-Break and the console closing on Windows (signal_watcher_win32.cpp).

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace kv218::cli {

// What one more request to stop means, given when the first came.
enum class Interrupt {
  First,   // the run in progress is asked to end
  Echo,    // less than a second after the first: the same request delivered twice
  GiveUp,  // a second or more later, still unhandled: end the process at once
};

class InterruptTally {
 public:
  Interrupt Take(std::chrono::steady_clock::time_point now);

 private:
  std::optional<std::chrono::steady_clock::time_point> first_;
};

// What the process writes to standard error when it gives up.
inline constexpr char kGivingUpText[] = "\nkv218: interrupted again; giving up\n";

class SignalWatcher {
 public:
  // On Linux the signals are blocked for the calling thread and every thread started after
  // it: create it before any other thread of the command. onFirst runs on a thread of the
  // watcher's (or the system's).
  explicit SignalWatcher(std::function<void()> onFirst);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

  struct Native;  // the platform's watch

 private:
  std::unique_ptr<Native> native_;
};

}  // namespace kv218::cli

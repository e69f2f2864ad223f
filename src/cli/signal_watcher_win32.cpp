#include <windows.h>

#include <chrono>
#include <mutex>
#include <utility>

#include "cli/session.h"
#include "cli/signal_watcher.h"

namespace kv218::cli {

// Windows runs the console control handler on a thread it creates for each event and gives
// it nothing but the event, so the one watcher of the process is reached through a registry.
struct SignalWatcher::Native {
  // The console's request: true when it was taken (the system then does not end the process).
  bool Take();

  std::function<void()> onFirst;
  std::mutex mutex;
  InterruptTally tally;
};

namespace {

struct Registry {
  std::mutex mutex;
  SignalWatcher::Native* watcher = nullptr;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      break;
    default:
      return FALSE;
  }
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.watcher != nullptr && registry.watcher->Take() ? TRUE : FALSE;
}

}  // namespace

bool SignalWatcher::Native::Take() {
  std::lock_guard lock(mutex);
  switch (tally.Take(std::chrono::steady_clock::now())) {
    case Interrupt::First:
      onFirst();
      break;
    case Interrupt::Echo:
      break;
    case Interrupt::GiveUp: {
      DWORD written = 0;
      WriteFile(GetStdHandle(STD_ERROR_HANDLE), kGivingUpText, sizeof kGivingUpText - 1, &written,
                nullptr);
      ExitProcess(kExitInterrupted);
    }
  }
  return true;
}

SignalWatcher::SignalWatcher(std::function<void()> onFirst) : native_(std::make_unique<Native>()) {
  native_->onFirst = std::move(onFirst);
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.watcher = native_.get();
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

SignalWatcher::~SignalWatcher() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.watcher = nullptr;
}

}  // namespace kv218::cli

#include "cli/signal_watcher.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>

#include "cli/session.h"

namespace kv218::cli {

SignalWatcher::SignalWatcher(std::function<void()> onFirst) : onFirst_(std::move(onFirst)) {
  // Blocked before any other thread of the command exists, so that every thread inherits
  // the mask and only the signalfd sees them.
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  signalFd_ = signalfd(-1, &signals_, SFD_CLOEXEC);
  stopFd_ = eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { Watch(); });
}

SignalWatcher::~SignalWatcher() {
  const std::uint64_t one = 1;
  if (write(stopFd_, &one, sizeof one) < 0) {
    // Nothing else to do: the join below would hang only if the thread never started.
  }
  thread_.join();
  close(signalFd_);
  close(stopFd_);
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void SignalWatcher::Watch() {
  std::optional<std::chrono::steady_clock::time_point> first;
  for (;;) {
    pollfd fds[2] = {{signalFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;  // EINTR
    if (fds[1].revents != 0) return;
    if (fds[0].revents == 0) continue;
    signalfd_siginfo info{};
    if (read(signalFd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
    const auto now = std::chrono::steady_clock::now();
    if (!first) {
      first = now;
      onFirst_();
    } else if (now - *first >= std::chrono::seconds(1)) {
      static const char kGivingUp[] = "\nkv218: interrupted again; giving up\n";
      if (write(2, kGivingUp, sizeof kGivingUp - 1) < 0) {
        // Nothing to report it to.
      }
      _exit(kExitInterrupted);
    }
  }
}

}  // namespace kv218::cli

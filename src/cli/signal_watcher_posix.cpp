#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>

#include "cli/session.h"
#include "cli/signal_watcher.h"

namespace kv218::cli {

struct SignalWatcher::Native {
  void Watch();

  std::function<void()> onFirst;
  sigset_t signals{};
  sigset_t previous{};
  int signalFd = -1;
  int stopFd = -1;
  std::thread thread;
};

SignalWatcher::SignalWatcher(std::function<void()> onFirst) : native_(std::make_unique<Native>()) {
  Native& n = *native_;
  n.onFirst = std::move(onFirst);
  // Blocked before any other thread of the command exists, so that every thread inherits
  // the mask and only the signalfd sees them.
  sigemptyset(&n.signals);
  sigaddset(&n.signals, SIGINT);
  sigaddset(&n.signals, SIGTERM);
  // The terminal closing ends the run as Ctrl-C does, unless the command was started to
  // outlive its terminal (nohup): a blocked signal is queued even when ignored, so an ignored
  // one is left out.
  struct sigaction hangUp {};
  if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN) {
    sigaddset(&n.signals, SIGHUP);
  }
  pthread_sigmask(SIG_BLOCK, &n.signals, &n.previous);
  n.signalFd = signalfd(-1, &n.signals, SFD_CLOEXEC);
  n.stopFd = eventfd(0, EFD_CLOEXEC);
  n.thread = std::thread([&n] { n.Watch(); });
}

SignalWatcher::~SignalWatcher() {
  Native& n = *native_;
  const std::uint64_t one = 1;
  if (write(n.stopFd, &one, sizeof one) < 0) {
    // Nothing else to do: the join below would hang only if the thread never started.
  }
  n.thread.join();
  close(n.signalFd);
  close(n.stopFd);
  pthread_sigmask(SIG_SETMASK, &n.previous, nullptr);
}

void SignalWatcher::Native::Watch() {
  InterruptTally tally;
  for (;;) {
    pollfd fds[2] = {{signalFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;  // EINTR
    if (fds[1].revents != 0) return;
    if (fds[0].revents == 0) continue;
    signalfd_siginfo info{};
    if (read(signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
    switch (tally.Take(std::chrono::steady_clock::now())) {
      case Interrupt::First:
        onFirst();
        break;
      case Interrupt::Echo:
        break;
      case Interrupt::GiveUp:
        if (write(2, kGivingUpText, sizeof kGivingUpText - 1) < 0) {
          // Nothing to report it to.
        }
        _exit(kExitInterrupted);
    }
  }
}

}  // namespace kv218::cli

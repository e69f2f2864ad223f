#include "ui/qt/end_signals.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace kv218 {

namespace {

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  // A blocked signal is queued even when ignored: one started to outlive its terminal keeps
  // SIGHUP out.
  struct sigaction hangUp {};
  if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN) {
    sigaddset(&set, SIGHUP);
  }
  return set;
}

}  // namespace

void EndSignals::BlockInThisThread() {
  const sigset_t set = EndingSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

EndSignals::EndSignals() : signals_(EndingSignals()) {
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  descriptor_ = signalfd(-1, &signals_, SFD_CLOEXEC | SFD_NONBLOCK);
  if (descriptor_ < 0) return;  // the window then ends as it always has on these signals
  notifier_ = std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &EndSignals::Read);
}

EndSignals::~EndSignals() {
  notifier_.reset();
  if (descriptor_ >= 0) close(descriptor_);
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void EndSignals::Read() {
  signalfd_siginfo info{};
  while (read(descriptor_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    emit Received(static_cast<int>(info.ssi_signo));
  }
}

}  // namespace kv218

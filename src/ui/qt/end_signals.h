#pragma once
// The window told to end from outside: SIGTERM (shutdown, log-out, kill), SIGHUP (its terminal
// gone; left out when started with it ignored, as under nohup) and SIGINT (Ctrl-C in the
// terminal that started it). They are blocked and read from a signalfd on the window thread,
// so the window ends as the close question's yes ends it rather than dying mid-run.

#include <signal.h>
#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace kv218 {

class EndSignals : public QObject {
  Q_OBJECT
 public:
  // Blocks the signals in the calling thread, and so in every thread it starts later: main
  // calls it first of all, before Qt starts a thread of its own.
  static void BlockInThisThread();

  // Blocks the signals in this thread too (whoever did not call BlockInThisThread) and reads
  // them from here on.
  EndSignals();
  ~EndSignals() override;
  EndSignals(const EndSignals&) = delete;
  EndSignals& operator=(const EndSignals&) = delete;

 signals:
  // One of the signals arrived (each one, as often as it comes).
  void Received(int signal);

 private:
  void Read();

  sigset_t signals_{};
  sigset_t previous_{};  // the thread's mask before, back when this goes
  int descriptor_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace kv218

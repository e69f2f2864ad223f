#pragma once
// The window thread's message loop over Qt's event loop. Ticks of Timer1, the receive thread's
// hand-overs and the operator's clicks are all Qt events handled on the window thread.

#include <QObject>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>

#include "ground/message_loop.h"

namespace kv218 {

class QtMessageLoop : public MessageLoop {
 public:
  // Lives on the calling (window) thread; timer is Timer1 (interval set to 1000 ms here).
  explicit QtMessageLoop(QTimer& timer);
  ~QtMessageLoop() override;

  void PumpMessages() override;
  void WaitForMessages() override;
  bool RunOnWindowThread(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  void SetTickTimer(bool on) override;
  void SetTickHandler(std::function<void()> onTick) override;

  // Window thread, once the window has closed: every later RunOnWindowThread or Post is
  // refused, and hand-overs still queued are dropped, which releases a receive thread that
  // waits for one so that it can be joined.
  void Shutdown();

 private:
  // Queues fn for the window thread unless the loop has been shut down.
  bool Queue(std::function<void()> fn);

  QTimer& timer_;
  QThread* const windowThread_;
  std::function<void()> onTick_;
  std::unique_ptr<QObject> receiver_;  // the window thread's target of queued calls
  std::mutex queueing_;                // orders queueing against Shutdown
  bool shutDown_ = false;
};

}  // namespace kv218

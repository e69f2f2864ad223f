#include "ui/qt/qt_message_loop.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

namespace kv218 {

namespace {

constexpr int kTimer1Interval = 1000;  // ms

// Travels with a queued hand-over and wakes the waiting thread when the call is gone: after
// it has run, or when the loop dropped it unrun.
struct HandOver {
  std::function<void()> fn;
  bool ran = false;
  QSemaphore finished;
};

class WakeWhenGone {
 public:
  explicit WakeWhenGone(std::shared_ptr<HandOver> handOver) : handOver_(std::move(handOver)) {}
  WakeWhenGone(const WakeWhenGone&) = delete;
  WakeWhenGone& operator=(const WakeWhenGone&) = delete;
  ~WakeWhenGone() { handOver_->finished.release(); }
  HandOver& handOver() { return *handOver_; }

 private:
  std::shared_ptr<HandOver> handOver_;
};

}  // namespace

QtMessageLoop::QtMessageLoop(QTimer& timer)
    : timer_(timer),
      windowThread_(QThread::currentThread()),
      receiver_(std::make_unique<QObject>()) {
  timer_.setInterval(kTimer1Interval);
  timer_.setSingleShot(false);
  QObject::connect(&timer_, &QTimer::timeout, receiver_.get(), [this] {
    if (onTick_) onTick_();
  });
}

QtMessageLoop::~QtMessageLoop() { Shutdown(); }

void QtMessageLoop::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtMessageLoop::WaitForMessages() {
  // Sleeps in the event dispatcher until something arrives, then handles what is pending.
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

bool QtMessageLoop::Queue(std::function<void()> fn) {
  const std::lock_guard lock(queueing_);
  if (shutDown_) return false;
  QMetaObject::invokeMethod(receiver_.get(), std::move(fn), Qt::QueuedConnection);
  return true;
}

bool QtMessageLoop::RunOnWindowThread(const std::function<void()>& fn) {
  if (QThread::currentThread() == windowThread_) {
    // Already on the window thread: a queued call would wait for itself.
    {
      const std::lock_guard lock(queueing_);
      if (shutDown_) return false;
    }
    fn();
    return true;
  }
  auto handOver = std::make_shared<HandOver>();
  handOver->fn = fn;
  {
    auto wake = std::make_shared<WakeWhenGone>(handOver);
    const bool queued = Queue([wake] {
      wake->handOver().fn();
      wake->handOver().ran = true;
    });
    if (!queued) return false;
  }  // from here the queued call holds the only WakeWhenGone
  handOver->finished.acquire();
  return handOver->ran;
}

void QtMessageLoop::Post(std::function<void()> fn) { Queue(std::move(fn)); }

void QtMessageLoop::SetTickTimer(bool on) {
  if (!on) {
    timer_.stop();
  } else if (!timer_.isActive()) {
    timer_.start();
  }
}

void QtMessageLoop::SetTickHandler(std::function<void()> onTick) { onTick_ = std::move(onTick); }

void QtMessageLoop::Shutdown() {
  {
    const std::lock_guard lock(queueing_);
    if (shutDown_) return;
    shutDown_ = true;
  }
  timer_.stop();
  // Destroying the receiver drops the calls still queued for it; each dropped hand-over wakes
  // its thread, which then sees false.
  receiver_.reset();
}

}  // namespace kv218

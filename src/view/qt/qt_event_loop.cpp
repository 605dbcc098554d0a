#include "view/qt/qt_event_loop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdint>

namespace tk {

namespace {

const QEvent::Type kRunCalls = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kQuit = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

// Receives on the GUI thread what other threads post to the loop.
class QtEventLoop::Receiver : public QObject {
 public:
  explicit Receiver(QtEventLoop& loop) : loop_(loop) {}

  bool event(QEvent* event) override {
    // Orders the poster's work before this, for ThreadSanitizer too, which
    // cannot see Qt's own hand-over; only then is the event looked at.
    loop_.PostReceived();
    if (event->type() == kRunCalls) {
      loop_.RunPendingCalls();
    } else if (event->type() == kQuit) {
      loop_.Quit();
    } else {
      return QObject::event(event);
    }
    return true;
  }

 private:
  QtEventLoop& loop_;
};

struct QtEventLoop::Timer {
  std::shared_ptr<TimerHandler> handler;
  std::unique_ptr<QTimer, TimerDeleter> qtimer;
};

void QtEventLoop::TimerDeleter::operator()(QTimer* timer) const {
  delete timer;
}

QtEventLoop::QtEventLoop()
    : MainThreadLoop(TimerThreads::kMainOnly), receiver_(std::make_unique<Receiver>(*this)) {
  Install();
}

QtEventLoop::~QtEventLoop() {
  Uninstall();
  receiver_.reset();  // drops the wake-ups still queued for it
  timers_.clear();
}

EventLoop::TimerId QtEventLoop::AddDriverTimer(uint32_t interval_ms, std::function<void()> fire) {
  const TimerId id = next_timer_id_++;
  auto timer = std::make_shared<Timer>();
  timer->handler = std::make_shared<TimerHandler>(std::move(fire));
  timer->qtimer.reset(new QTimer());
  timer->qtimer->setTimerType(Qt::PreciseTimer);
  timer->qtimer->setInterval(static_cast<int>(std::clamp<uint32_t>(interval_ms, 1, INT32_MAX)));
  std::weak_ptr<TimerHandler> weak = timer->handler;
  QObject::connect(timer->qtimer.get(), &QTimer::timeout, timer->qtimer.get(), [weak] {
    if (auto handler = weak.lock()) TimerHandler::Fire(std::move(handler));
  });
  timer->qtimer->start();
  timers_.emplace(id, std::move(timer));
  return id;
}

void QtEventLoop::RemoveDriverTimer(TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  std::shared_ptr<Timer> timer = std::move(it->second);
  timers_.erase(it);
  timer->qtimer->stop();
  // A timer removed by its own handler is still inside its signal: let Qt
  // delete it once the signal has returned.
  if (timer->handler->Firing()) timer->qtimer.release()->deleteLater();
}

void QtEventLoop::Post(int type) {
  PostUnlessClosed([&] {
    QCoreApplication::postEvent(receiver_.get(), new QEvent(static_cast<QEvent::Type>(type)));
  });
}

void QtEventLoop::WakeForCalls() {
  Post(kRunCalls);
}

void QtEventLoop::Quit() {
  if (!IsMainThread()) {
    Post(kQuit);
    return;
  }
  if (running_) {
    QCoreApplication::exit(0);
  } else {
    quit_pending_ = true;  // e.g. the window closed before the loop started
  }
}

void QtEventLoop::Run() {
  if (quit_pending_) {
    quit_pending_ = false;
    return;
  }
  running_ = true;
  QCoreApplication::exec();
  running_ = false;
}

}  // namespace tk

#include "view/qt/qt_event_loop.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdint>

#include "toolkit/application.h"
#include "toolkit/exceptions.h"

namespace tk {

struct QtEventLoop::Timer {
  std::function<void()> fire;
  std::unique_ptr<QTimer, TimerDeleter> qtimer;
  bool firing = false;
};

void QtEventLoop::TimerDeleter::operator()(QTimer* timer) const {
  delete timer;
}

QtEventLoop::QtEventLoop()
    : main_thread_(std::this_thread::get_id()),
      start_(std::chrono::steady_clock::now()),
      previous_(CurrentMainLoop()),
      context_(std::make_unique<QObject>()),
      calls_([this] { PostWake(); }) {
  SetMainLoop(this);
}

QtEventLoop::~QtEventLoop() {
  if (CurrentMainLoop() == this) SetMainLoop(previous_);
  calls_.Close();
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    context_.reset();  // drops the wake-ups still queued for it
  }
  timers_.clear();
}

int64_t QtEventLoop::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

EventLoop::TimerId QtEventLoop::AddTimer(uint32_t interval_ms, std::function<void()> fire) {
  if (!IsMainThread()) {
    // QTimers belong to the thread that runs them: make it there.
    TimerId id = 0;
    Synchronize([&] { id = AddTimer(interval_ms, std::move(fire)); });
    return id;
  }
  const TimerId id = next_timer_id_++;
  auto timer = std::make_shared<Timer>();
  timer->fire = std::move(fire);
  timer->qtimer.reset(new QTimer());
  timer->qtimer->setTimerType(Qt::PreciseTimer);
  timer->qtimer->setInterval(static_cast<int>(std::clamp<uint32_t>(interval_ms, 1, INT32_MAX)));
  std::weak_ptr<Timer> weak = timer;
  QObject::connect(timer->qtimer.get(), &QTimer::timeout, timer->qtimer.get(), [this, weak] {
    if (auto t = weak.lock()) Fire(t);
  });
  timer->qtimer->start();
  timers_.emplace(id, std::move(timer));
  return id;
}

void QtEventLoop::RemoveTimer(TimerId id) {
  if (!IsMainThread()) {
    Synchronize([&] { RemoveTimer(id); });
    return;
  }
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  std::shared_ptr<Timer> timer = std::move(it->second);
  timers_.erase(it);
  timer->qtimer->stop();
  // A timer removed by its own handler is still inside its signal: let Qt
  // delete it once the signal has returned.
  if (timer->firing) timer->qtimer.release()->deleteLater();
}

void QtEventLoop::Fire(const std::shared_ptr<Timer>& timer) {
  // A handler that opens a modal box keeps Qt's loop running; its own timer
  // must not pile up further firings (and further boxes) underneath it.
  if (timer->firing) return;
  timer->firing = true;
  std::shared_ptr<Timer> keep = timer;  // the handler may remove it
  RunGuarded(keep->fire);
  keep->firing = false;
}

void QtEventLoop::PostWake() {
  std::lock_guard lock(mutex_);  // context_ cannot go away meanwhile
  if (closed_) return;
  QMetaObject::invokeMethod(
      context_.get(), [this] { RunPendingCalls(); }, Qt::QueuedConnection);
}

void QtEventLoop::Synchronize(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  calls_.Call(call);
}

int QtEventLoop::RunPendingCalls() {
  return calls_.RunAll();
}

bool QtEventLoop::IsMainThread() const {
  return std::this_thread::get_id() == main_thread_;
}

void QtEventLoop::Pause(uint32_t ms) {
  // Deliberately blocking: nothing else runs on the GUI thread meanwhile.
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtEventLoop::Quit() {
  if (!IsMainThread()) {
    std::lock_guard lock(mutex_);
    if (!closed_)
      QMetaObject::invokeMethod(
          context_.get(), [this] { Quit(); }, Qt::QueuedConnection);
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

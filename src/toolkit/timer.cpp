#include "toolkit/application.h"
#include "toolkit/controls.h"

namespace tk {

TTimer::TTimer(TComponent* owner) : TComponent(owner), self_(std::make_shared<TTimer*>(this)) {
  // Enabled with 1000 ms by default; it runs once a main loop is there.
  Restart();
}

TTimer::~TTimer() {
  *self_ = nullptr;
  Stop();
}

void TTimer::SetEnabled(bool on) {
  enabled_ = on;
  Restart();  // enabling again restarts the period
}

void TTimer::SetInterval(uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}

void TTimer::Stop() {
  // Only the loop the timer was registered with knows its id; a loop that is
  // no longer installed has been destroyed with its timers (loops restore the
  // one before them when they go).
  if (id_ != 0 && loop_ != nullptr && loop_ == CurrentMainLoop()) loop_->RemoveTimer(id_);
  id_ = 0;
  loop_ = nullptr;
  // Whatever registration is left (in a loop not installed now) goes dead.
  *self_ = nullptr;
  self_ = std::make_shared<TTimer*>(this);
}

void TTimer::Restart() {
  Stop();
  // An interval of 0 keeps the timer from running, as a zero period means none.
  if (!enabled_ || interval_ == 0) return;
  EventLoop* loop = CurrentMainLoop();
  if (loop == nullptr) return;
  std::weak_ptr<TTimer*> weak = self_;
  id_ = loop->AddTimer(interval_, [weak] {
    auto self = weak.lock();
    if (!self || *self == nullptr) return;
    TTimer* timer = *self;
    // The handler may restart this timer (a new period, a new registration)
    // and then open a modal box: the flag belongs to the timer, not to one
    // registration, so no firing piles a second run on top of the first.
    const std::shared_ptr<bool> in_handler = timer->in_handler_;
    if (*in_handler) return;
    // A copy: handlers often install another handler on their own timer.
    const TNotifyEvent handler = timer->OnTimer;
    if (!handler) return;
    *in_handler = true;
    RunGuarded([&handler, timer] { handler(timer); }, timer);
    *in_handler = false;
  });
  loop_ = loop;
}

}  // namespace tk

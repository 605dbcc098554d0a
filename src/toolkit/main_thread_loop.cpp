#include "toolkit/main_thread_loop.h"

#include "toolkit/application.h"

namespace tk {

MainThreadLoop::MainThreadLoop(TimerThreads timer_threads)
    : main_thread_(std::this_thread::get_id()),
      start_(std::chrono::steady_clock::now()),
      timer_threads_(timer_threads),
      calls_([this] {
        // Uninstall closes the queue first and waits for this to return, so
        // the driver is still whole here.
        WakeForCalls();
      }) {}

MainThreadLoop::~MainThreadLoop() {
  // Drivers uninstall first thing; this only covers one that did not.
  Uninstall();
}

void MainThreadLoop::Install() {
  previous_ = CurrentMainLoop();
  installed_ = true;
  SetMainLoop(this);
}

void MainThreadLoop::Uninstall() {
  if (installed_ && CurrentMainLoop() == this) SetMainLoop(previous_);
  installed_ = false;
  calls_.Close();
  std::lock_guard lock(post_mutex_);
  closed_ = true;
}

bool MainThreadLoop::PostUnlessClosed(const std::function<void()>& post) {
  std::lock_guard lock(post_mutex_);
  if (closed_) return false;
  post();
  return true;
}

void MainThreadLoop::PostReceived() {
  std::lock_guard lock(post_mutex_);
}

int64_t MainThreadLoop::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

std::chrono::steady_clock::time_point MainThreadLoop::RealTimeAt(int64_t ms) const {
  return start_ + std::chrono::milliseconds(ms);
}

EventLoop::TimerId MainThreadLoop::AddTimer(uint32_t interval_ms, std::function<void()> fire) {
  if (timer_threads_ == TimerThreads::kMainOnly && !IsMainThread()) {
    TimerId id = 0;
    Synchronize([&] { id = AddDriverTimer(interval_ms, std::move(fire)); });
    return id;
  }
  return AddDriverTimer(interval_ms, std::move(fire));
}

void MainThreadLoop::RemoveTimer(TimerId id) {
  if (timer_threads_ == TimerThreads::kMainOnly && !IsMainThread()) {
    Synchronize([&] { RemoveDriverTimer(id); });
    return;
  }
  RemoveDriverTimer(id);
}

void MainThreadLoop::Synchronize(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  calls_.Call(call);
}

bool MainThreadLoop::IsMainThread() const {
  return std::this_thread::get_id() == main_thread_;
}

void MainThreadLoop::Pause(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int MainThreadLoop::RunPendingCalls() {
  return calls_.RunAll();
}

size_t MainThreadLoop::PendingCount() const {
  return calls_.Size();
}

void TimerHandler::Fire(std::shared_ptr<TimerHandler> handler) {
  if (handler->firing_) return;
  handler->firing_ = true;
  RunGuarded(handler->fire_);
  handler->firing_ = false;
}

}  // namespace tk

#include "toolkit/thread.h"

#include "platform/thread_priority.h"
#include "toolkit/event_loop.h"

namespace tk {

int PriorityLevel(TThreadPriority priority) {
  switch (priority) {
    case TThreadPriority::tpIdle:
      return platform::kPriorityIdle;
    case TThreadPriority::tpLowest:
      return platform::kPriorityLowest;
    case TThreadPriority::tpLower:
      return platform::kPriorityLower;
    case TThreadPriority::tpNormal:
      return platform::kPriorityNormal;
    case TThreadPriority::tpHigher:
      return platform::kPriorityHigher;
    case TThreadPriority::tpHighest:
      return platform::kPriorityHighest;
    case TThreadPriority::tpTimeCritical:
      return platform::kPriorityTimeCritical;
  }
  return platform::kPriorityNormal;
}

namespace {

std::mutex g_maker_mutex;
ThreadMaker g_maker;  // guarded by g_maker_mutex; empty: std::thread

std::thread MakeThread(std::function<void()> body) {
  ThreadMaker maker;
  {
    std::lock_guard lock(g_maker_mutex);
    maker = g_maker;
  }
  if (maker) return maker(std::move(body));
  return std::thread(std::move(body));
}

}  // namespace

ThreadMaker SetThreadMaker(ThreadMaker maker) {
  std::lock_guard lock(g_maker_mutex);
  std::swap(g_maker, maker);
  return maker;
}

TThread::TThread() = default;

TThread::~TThread() {
  // A free-on-end thread deletes itself from its own body after detaching;
  // anything else still running is stopped here rather than left joinable.
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    Terminate();
    Join();
  }
}

void TThread::Resume() {
  std::lock_guard lock(mutex_);
  if (started_) return;
  try {
    thread_ = MakeThread([this] { ThreadMain(); });
  } catch (const std::system_error& e) {
    // Not started: WaitFor and the destructor must not wait for a body that
    // will never run.
    throw EThreadStartError(e.code());
  }
  started_ = true;
  native_ = thread_.native_handle();
  platform::ApplyThreadPriority(native_, PriorityLevel(priority_));
  // The body starts only once this lock is released (ThreadMain takes it
  // first), so a free-on-end thread cannot delete itself under our feet.
}

void TThread::SetPriority(TThreadPriority priority) {
  std::lock_guard lock(mutex_);
  priority_ = priority;
  // finished_ is set under the same lock, so the handle is still valid here.
  if (started_ && !finished_.load())
    platform::ApplyThreadPriority(native_, PriorityLevel(priority));
}

void TThread::ThreadMain() {
  { std::lock_guard gate(mutex_); }  // wait until Resume() is done with this object
  if (!Terminated()) {
    try {
      Execute();
    } catch (...) {
      std::lock_guard lock(mutex_);
      fatal_ = std::current_exception();
    }
  }
  bool free_self = false;
  {
    std::lock_guard lock(mutex_);
    finished_.store(true);
    free_self = free_on_terminate_.load();
    if (free_self) thread_.detach();
    finished_cv_.notify_all();
  }
  if (free_self) delete this;
}

void TThread::Join() {
  EventLoop* loop = CurrentMainLoop();
  const bool on_main = loop != nullptr && loop->IsMainThread();
  {
    std::unique_lock lock(mutex_);
    if (on_main) {
      // The body may be blocked in Synchronize, waiting for this very thread:
      // keep running its calls while waiting.
      while (!finished_.load()) {
        lock.unlock();
        const int ran = loop->RunPendingCalls();
        lock.lock();
        if (ran == 0 && !finished_.load())
          finished_cv_.wait_for(lock, std::chrono::milliseconds(5));
      }
    } else {
      finished_cv_.wait(lock, [this] { return finished_.load(); });
    }
  }
  std::thread done;
  {
    std::lock_guard lock(mutex_);
    done = std::move(thread_);
  }
  if (done.joinable()) done.join();
}

void TThread::WaitFor() {
  {
    std::lock_guard lock(mutex_);
    if (!started_) return;  // nothing runs, nothing to wait for
  }
  Join();
}

std::exception_ptr TThread::FatalException() const {
  std::lock_guard lock(mutex_);
  return fatal_;
}

void TThread::Synchronize(const std::function<void()>& call) {
  MainLoop().Synchronize(call);
}

}  // namespace tk

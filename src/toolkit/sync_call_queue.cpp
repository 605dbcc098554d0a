#include "toolkit/sync_call_queue.h"

#include "toolkit/exceptions.h"

namespace tk {

namespace {

constexpr const char* kLoopEnded = "The main event loop has ended";

// A fresh one for each released caller, made in place: a copy left on this
// thread would share the message's storage with the caller, its release here
// ordered with the caller's reading only by the library's reference count,
// which ThreadSanitizer cannot see.
std::exception_ptr LoopEnded() {
  try {
    throw Exception(kLoopEnded);
  } catch (...) {
    return std::current_exception();
  }
}

}  // namespace

// The caller blocks until `done` and owns `call`, so only a reference is kept.
struct SyncCallQueue::Request {
  explicit Request(const std::function<void()>& f) : call(f) {}
  const std::function<void()>& call;
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  std::exception_ptr error;

  void Finish(std::exception_ptr e) {
    std::lock_guard lock(mutex);
    error = std::move(e);
    done = true;
    cv.notify_all();
  }
};

SyncCallQueue::SyncCallQueue(std::function<void()> on_queued) : on_queued_(std::move(on_queued)) {}

SyncCallQueue::~SyncCallQueue() {
  Close();
}

void SyncCallQueue::Call(const std::function<void()>& call) {
  auto request = std::make_shared<Request>(call);
  {
    std::lock_guard lock(mutex_);
    if (closed_) throw Exception(kLoopEnded);
    requests_.push_back(request);
    ++notifying_;
  }
  if (on_queued_) on_queued_();
  {
    // Notified under the lock: once Close sees the count at zero, the queue
    // may be destroyed, and nothing of this call may touch it any more.
    std::lock_guard lock(mutex_);
    --notifying_;
    notified_.notify_all();
  }
  std::exception_ptr error;
  {
    std::unique_lock lock(request->mutex);
    request->cv.wait(lock, [&] { return request->done; });
    // Taken out, so the exception lives on this thread alone from now on.
    error = std::move(request->error);
  }
  if (error) std::rethrow_exception(error);
}

int SyncCallQueue::RunAll() {
  int ran = 0;
  for (;;) {
    std::shared_ptr<Request> request;
    {
      std::lock_guard lock(mutex_);
      if (requests_.empty()) return ran;
      request = std::move(requests_.front());
      requests_.pop_front();
    }
    std::exception_ptr error;
    try {
      request->call();
    } catch (...) {
      error = std::current_exception();  // goes back to the caller's thread
    }
    request->Finish(std::move(error));
    ++ran;
  }
}

bool SyncCallQueue::Empty() const {
  std::lock_guard lock(mutex_);
  return requests_.empty();
}

size_t SyncCallQueue::Size() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void SyncCallQueue::Close() {
  std::deque<std::shared_ptr<Request>> left;
  {
    std::unique_lock lock(mutex_);
    closed_ = true;
    left.swap(requests_);
    // The loop that owns this queue goes away next: no wake-up may still be
    // on its way into it.
    notified_.wait(lock, [&] { return notifying_ == 0; });
  }
  for (auto& request : left) request->Finish(LoopEnded());
}

}  // namespace tk

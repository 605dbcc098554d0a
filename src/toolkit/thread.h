#pragma once
// TThread: a thread object that is created suspended, has a priority, a stop
// flag and a free-on-end switch, and can run a call on the main thread.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "toolkit/exceptions.h"

namespace tk {

enum class TThreadPriority {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

// The platform level of a priority: −15, −2, −1, 0, 1, 2, 15.
int PriorityLevel(TThreadPriority priority);

// The system refused a new thread (a process or cgroup limit, no memory).
class EThreadStartError : public Exception {
 public:
  explicit EThreadStartError(std::error_code code)
      : Exception("Cannot start a thread: " + code.message()), code_(code) {}
  std::string ClassName() const override { return "EThreadStartError"; }
  // The system's reason, as its error text.
  std::string Reason() const { return code_.message(); }
  std::error_code Code() const { return code_; }

 private:
  std::error_code code_;
};

// How TThread makes its system threads: std::thread unless replaced. Tests
// put in one that refuses (throws std::system_error), as a process or cgroup
// limit would. Returns the one in use before; an empty function restores
// std::thread.
using ThreadMaker = std::function<std::thread(std::function<void()> body)>;
ThreadMaker SetThreadMaker(ThreadMaker maker);

class TThread {
 public:
  // The system thread is made by Resume(); until then nothing runs.
  TThread();
  // A thread that is still running is stopped: stop flag, then wait for its
  // body. The body is a virtual function of the derived class, which is gone
  // by the time this runs, so a derived class whose body may still run must
  // call Terminate() and WaitFor() in its own destructor.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts the thread (once). When the stop flag is already set, the body is
  // not run at all. When the system cannot make the thread, raises
  // EThreadStartError and the object stays as it was: not started, nothing
  // to wait for, owned by the caller even when free-on-end, and Resume may
  // be tried again.
  void Resume();

  void SetPriority(TThreadPriority priority);  // applied at once when running
  TThreadPriority Priority() const { return priority_; }

  void Terminate() { terminated_.store(true); }  // sets the stop flag
  bool Terminated() const { return terminated_.load(); }

  // With the switch on, the object deletes itself when its body has ended.
  // The object must then have been made with new and nobody may own it.
  void SetFreeOnTerminate(bool on) { free_on_terminate_ = on; }

  bool Finished() const { return finished_.load(); }
  // Blocks until the body has ended (never call from the thread itself, nor
  // on a free-on-end thread).
  void WaitFor();
  // The exception that ended the body, if any.
  std::exception_ptr FatalException() const;

 protected:
  virtual void Execute() = 0;
  // Runs `call` on the main thread through the main loop, blocking until done.
  void Synchronize(const std::function<void()>& call);

 private:
  void ThreadMain();
  void Join();

  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> free_on_terminate_{false};
  TThreadPriority priority_ = TThreadPriority::tpNormal;
  bool started_ = false;  // guarded by mutex_
  std::thread thread_;
  std::thread::native_handle_type native_{};
  mutable std::mutex mutex_;
  std::condition_variable finished_cv_;
  std::exception_ptr fatal_;
};

}  // namespace tk

#include "comm/VaCommWriteThread.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <exception>
#include <vector>

#include "comm/VaComm.h"
#include "platform/serial_device.h"
#include "platform/system_error.h"
#include "platform/tick.h"
#include "toolkit/application.h"
#include "toolkit/exceptions.h"

namespace comm {
// ---- TVaCommBuffer ----

TVaCommBuffer::TVaCommBuffer(int32_t capacity)
    : capacity_(std::max(capacity, 0)),
      memory_(std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(capacity_))) {}

bool TVaCommBuffer::Append(const void* source, int32_t size) {
  const int32_t count = count_.load();
  if (size < 0 || size > capacity_ - count) return false;
  if (size > 0) std::memcpy(memory_.get() + count, source, static_cast<size_t>(size));
  count_.store(count + size);
  return true;
}

void TVaCommBuffer::Remove(int32_t size) {
  const int32_t count = count_.load();
  size = std::clamp(size, 0, count);
  if (size == 0) return;
  std::memmove(memory_.get(), memory_.get() + size, static_cast<size_t>(count - size));
  count_.store(count - size);
}

// ---- TVaCommWriteThread ----

TVaCommWriteThread::TVaCommWriteThread(TVaCustomComm& comm)
    : Comm(comm),
      Buffer(static_cast<int32_t>(comm.Buffers().WriteSize())),
      device_(comm.Device()),
      lifetime_(comm.Lifetime()) {
  // Without working events a stop request could never end a wait: refuse
  // here, so the port's Open fails with a clear message.
  for (const platform::ManualResetEvent* event : {&DataQueued, &StopRequest}) {
    if (event->CreationError() != 0) {
      throw tk::Exception("Can't create the writer thread (" +
                          platform::SystemErrorText(event->CreationError()) + ")");
    }
  }
}

TVaCommWriteThread::~TVaCommWriteThread() {
  // The body uses this object's members: it must have ended before they go.
  // For a retired writer it has; otherwise stopping cancels any write.
  if (!Ended()) {
    Stop();
    WaitFor();
  }
}

void TVaCommWriteThread::Resume() {
  tk::TThread::Resume();
  // Only now: a writer the system refused to start counts as ended. Ended()
  // is asked on the thread that resumes, never in between.
  resumed_.store(true);
}

bool TVaCommWriteThread::Ended() const {
  return Finished() || !resumed_.load();
}

bool TVaCommWriteThread::Enqueue(const void* data, int32_t size) {
  if (size < 0 || (size > 0 && data == nullptr)) return false;
  if (size == 0) return true;
  // The buffer's own capacity bounds the room even when Buffers.WriteSize has
  // been changed (it may be, while open, although the change raises).
  const int64_t limit =
      std::min<int64_t>(static_cast<int64_t>(Comm.Buffers().WriteSize()), Buffer.Capacity());
  const auto fits = [&] { return int64_t{Buffer.Count()} + size <= limit; };

  std::unique_lock lock(buffer_lock_);
  if (!fits()) {
    // Wait for the writer to make room, bounded by WriteTimeout; it signals
    // room_made_ whenever it removes sent bytes, so this sleeps instead of
    // polling.
    // A negative time-out means none rather than an endless wait.
    const uint32_t interval = static_cast<uint32_t>(std::max(Comm.Buffers().WriteTimeout(), 0));
    const uint32_t start = platform::TickCount();
    while (!fits()) {
      const uint32_t elapsed = platform::TickCount() - start;
      if (elapsed > interval) return false;
      room_made_.wait_for(lock, std::chrono::milliseconds(uint64_t{interval} - elapsed + 1));
    }
  }
  if (!Buffer.Append(data, size)) return false;
  DataQueued.Signal();
  return true;
}

void TVaCommWriteThread::Stop() {
  Terminate();
  StopRequest.Signal();
}

void TVaCommWriteThread::Execute() {
  const std::array<platform::ManualResetEvent*, 2> wait_set = {&StopRequest, &DataQueued};
  while (!Terminated()) {
    // The stop request comes first, so it wins over queued data.
    const int index = platform::WaitForAny(wait_set, platform::kInfinite);
    if (index != 1) return;  // stop request, or the events failed
    if (!SendQueued()) return;
  }
}

bool TVaCommWriteThread::SendQueued() {
  uint8_t* block;
  int32_t count;
  {
    std::lock_guard lock(buffer_lock_);
    count = Buffer.Count();
    block = Buffer.Memory();
    if (count == 0) {
      DataQueued.Reset();
      return true;
    }
  }
  // Bytes that Enqueue appends meanwhile lie behind the block and are not
  // touched; only this thread removes bytes, so the block stays in place.
  const int written = device_->Write(block, count, &StopRequest, platform::kInfinite);
  // Stop wins over a completed or failed write: the rest is never sent.
  if (StopRequest.IsSignaled() || Terminated()) return false;
  if (written > 0) {
    CompleteWrite(written);
    return true;
  }
  if (device_->FailedForGood()) {
    // The device is gone (or shut down): retrying would only spin. Tell the
    // port, which says so once whichever thread saw it first, then sleep
    // until the port stops this thread.
    if (device_->Gone()) HandOff(platform::kEvDeviceGone);
    StopRequest.Wait(platform::kInfinite);
    return false;
  }
  // A transient failure, noted by the device as kCeIoe: report it and send
  // the block, which stays queued, again after a pause.
  NotifyWriteError();
  return StopRequest.Wait(kTransientFailurePauseMs) != platform::WaitResult::Signaled;
}

void TVaCommWriteThread::CompleteWrite(int32_t written) {
  bool drained;
  {
    // Emptiness test and reset of DataQueued under the lock that Enqueue
    // appends and signals under: a block queued in between is never left
    // waiting.
    std::lock_guard lock(buffer_lock_);
    Buffer.Remove(written);
    drained = Buffer.Count() == 0;
    if (drained) DataQueued.Reset();
  }
  room_made_.notify_all();
  if (drained) NotifyTxEmpty();
}

void TVaCommWriteThread::HandOff(uint32_t events) {
  Synchronize([this, events] {
    // A port closed or destroyed after this was queued is not touched.
    if (!lifetime_ || !lifetime_->open) return;
    try {
      Comm.HandleEvents(events);
    } catch (...) {
      // Letting it end the writer would leave the port open with every
      // later write failing as "buffer full"; report it and carry on.
      tk::Application::Instance().HandleException(std::current_exception(), this);
    }
  });
}

// ---- retirement ----

namespace {

struct RetiredWriters {
  std::mutex mutex;
  std::vector<std::shared_ptr<TVaCommWriteThread>> writers;
};

RetiredWriters& Retired() {
  // Never destroyed: at program exit a writer may still be blocked in a
  // hand-off that no main loop will run any more, and joining it then would
  // hang the exit.
  static RetiredWriters& retired = *new RetiredWriters;
  return retired;
}

}  // namespace

void RetireWriteThread(std::shared_ptr<TVaCommWriteThread> writer) {
  if (writer) {
    writer->Stop();
    std::lock_guard lock(Retired().mutex);
    Retired().writers.push_back(std::move(writer));
  }
  ReleaseEndedWriteThreads();
}

size_t ReleaseEndedWriteThreads() {
  std::vector<std::shared_ptr<TVaCommWriteThread>> ended;
  size_t running;
  {
    std::lock_guard lock(Retired().mutex);
    auto& writers = Retired().writers;
    const auto first_ended = std::stable_partition(writers.begin(), writers.end(),
                                                   [](const auto& w) { return !w->Ended(); });
    ended.assign(std::make_move_iterator(first_ended), std::make_move_iterator(writers.end()));
    writers.erase(first_ended, writers.end());
    running = writers.size();
  }
  // Destroyed outside the lock: joining an ended thread is quick.
  ended.clear();
  return running;
}

}  // namespace comm

#pragma once
// The writer thread of a port and its buffer: a write returns as soon as its
// bytes are copied into the buffer; the thread sends them, tells the main
// thread when the buffer has drained and when a write failed.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/comm_records.h"
#include "platform/manual_reset_event.h"
#include "toolkit/object.h"
#include "toolkit/thread.h"

namespace platform {
class SerialDevice;
}

namespace comm {

class TVaCustomComm;
struct CommLifetime;

// Bytes waiting to be sent, packed from the start of storage that is
// allocated once and never grows or moves.
class TVaCommBuffer {
 public:
  explicit TVaCommBuffer(int32_t capacity);
  TVaCommBuffer(const TVaCommBuffer&) = delete;
  TVaCommBuffer& operator=(const TVaCommBuffer&) = delete;

  uint8_t* Memory() { return memory_.get(); }
  // Readable from any thread without a lock (a waiting writer polls it).
  int32_t Count() const { return count_.load(); }
  int32_t Capacity() const { return capacity_; }

  // Appends the bytes; false, with nothing appended, when they would not fit
  // the storage (the caller is meant to have made sure they do).
  bool Append(const void* source, int32_t size);
  // Drops `size` bytes from the front (at most Count) and moves the rest down.
  void Remove(int32_t size);

 private:
  const int32_t capacity_;
  std::unique_ptr<uint8_t[]> memory_;
  std::atomic<int32_t> count_{0};
};

class TVaCommWriteThread : public tk::TThread, public tk::TObject {
 public:
  // Created suspended with a buffer of comm.Buffers().WriteSize() bytes; the
  // caller sets the priority and resumes it. It keeps the port's device and
  // lifetime of this open period. Not free-on-end: see RetireWriteThread.
  explicit TVaCommWriteThread(TVaCustomComm& comm);
  // Only for a writer whose body has ended or never started (RetireWriteThread
  // sees to that).
  ~TVaCommWriteThread() override;

  // Main thread. Queues the whole block, waiting up to Buffers.WriteTimeout
  // ms for room; false (nothing queued) when no room appeared in time. Room is
  // judged against the smaller of Buffers.WriteSize and the buffer's own
  // capacity, so a later change of WriteSize can never overrun the buffer.
  bool Enqueue(const void* data, int32_t size);

  // Asks the thread to stop; returns at once. Queued bytes are never sent.
  void Stop();

  int32_t Capacity() const { return Buffer.Capacity(); }
  // Starts the thread; noted so that a writer that was never started counts
  // as ended.
  void Resume();
  // True once the body has ended, or when it was never started.
  bool Ended() const;

  std::string ClassName() const override { return "TVaCommWriteThread"; }

 protected:
  void Execute() override;

 private:
  // One pass over the queued block; false when the body must end.
  bool SendQueued();
  void CompleteWrite(int32_t written);
  // Runs a notification on the main thread; an exception from it goes to the
  // application's error report there and the writer carries on.
  void HandOff(uint32_t events);
  // Main thread.
  void NotifyTxEmpty() { HandOff(platform::kEvTxEmpty); }
  void NotifyWriteError() { HandOff(platform::kEvErr); }

  TVaCustomComm& Comm;
  // There is no pending write to complete: the device's Write returns when
  // done, failed or cancelled by StopRequest, so no WriteComplete event.
  platform::ManualResetEvent DataQueued;
  platform::ManualResetEvent StopRequest;
  TVaCommBuffer Buffer;
  // Guards Buffer's contents and the emptiness test with the reset of
  // DataQueued. The writer's own lock, not the port's: the writer may still
  // run after the port has been destroyed.
  std::mutex buffer_lock_;
  std::condition_variable room_made_;  // signalled when bytes were removed
  std::atomic<bool> resumed_{false};
  std::shared_ptr<platform::SerialDevice> device_;
  std::shared_ptr<CommLifetime> lifetime_;
};

// The port hands its writer here at Close (after or instead of Stop) and
// drops its own reference: the object must outlive its body, which may still
// be sending or blocked in a hand-off that only the main thread can run, so
// Close cannot join it. The retired writer is stopped, kept, and released on
// the main thread once its body has ended (at the next retirement or
// ReleaseEndedWriteThreads). Takes a unique_ptr as well.
void RetireWriteThread(std::shared_ptr<TVaCommWriteThread> writer);
// Main thread. Releases the retired writers that have ended; returns how many
// are still running.
size_t ReleaseEndedWriteThreads();

}  // namespace comm

#pragma once
// TVaCommEventThread: waits for port events on behalf of one open port and
// hands every batch of them to the main thread, where the port turns them into
// its On... notifications. One hand-off at a time, in order; the next wait is
// issued only after the hand-off has returned.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/manual_reset_event.h"
#include "toolkit/object.h"
#include "toolkit/thread.h"

namespace platform {
class SerialDevice;
}

namespace comm {

class TVaCustomComm;
struct CommLifetime;

class TVaCommEventThread : public tk::TThread, public tk::TObject {
 public:
  // Created suspended and free-on-end: make it with new, set its priority,
  // Resume it, and never delete it; after Stop it deletes itself once its
  // body has ended. It keeps the port's device and lifetime of this open
  // period, never the port itself beyond the main-thread hand-off.
  explicit TVaCommEventThread(TVaCustomComm& comm);
  ~TVaCommEventThread() override;

  // Sets the stop flag and wakes the thread; returns at once. The object may
  // be gone as soon as this returns: do not touch it afterwards.
  void Stop();

  std::string ClassName() const override { return "TVaCommEventThread"; }

 protected:
  void Execute() override;

 private:
  // Hands `events` to the main thread and blocks until they are delivered.
  void Deliver(uint32_t events);
  // Main thread only, while the thread is blocked in the hand-off.
  void DispatchEvents();

  uint32_t Occurred = 0;
  // Shared with Stop, which must still signal it after the stop flag has let
  // the thread end and free itself.
  std::shared_ptr<platform::ManualResetEvent> Wakeup;
  TVaCustomComm& Comm;
  std::shared_ptr<platform::SerialDevice> device_;
  std::shared_ptr<CommLifetime> lifetime_;
};

}  // namespace comm

#include "comm/VaCommEventThread.h"

#include <exception>

#include "comm/VaComm.h"
#include "platform/comm_records.h"
#include "platform/serial_device.h"
#include "platform/system_error.h"
#include "toolkit/application.h"
#include "toolkit/exceptions.h"

namespace comm {

TVaCommEventThread::TVaCommEventThread(TVaCustomComm& comm)
    : Wakeup(std::make_shared<platform::ManualResetEvent>()),
      Comm(comm),
      device_(comm.Device()),
      lifetime_(comm.Lifetime()) {
  // Without a working wake-up event a stop request could not end the wait:
  // refuse here, so the port's Open fails with a clear message instead.
  if (Wakeup->CreationError() != 0) {
    throw tk::Exception("Can't create the event thread (" +
                        platform::SystemErrorText(Wakeup->CreationError()) + ")");
  }
  SetFreeOnTerminate(true);
}

TVaCommEventThread::~TVaCommEventThread() = default;

void TVaCommEventThread::Stop() {
  // Once the stop flag is set the thread may end and delete itself at any
  // moment, so signal through a reference of our own.
  const std::shared_ptr<platform::ManualResetEvent> wakeup = Wakeup;
  Terminate();
  wakeup->Signal();
}

void TVaCommEventThread::Execute() {
  // The body never ends before Stop: the port holds a plain pointer to this
  // object until then.
  while (!Terminated()) {
    uint32_t occurred = 0;
    if (!device_->WaitCommEvent(&occurred, *Wakeup)) {
      if (device_->FailedForGood()) {
        // The device is gone (the wait has reported that once) or shut
        // down: retrying would only spin. Sleep until Stop.
        Wakeup->Wait(platform::kInfinite);
      } else {
        // A transient failure, noted by the device as kCeIoe: report it as
        // an error event and try again after a pause.
        Deliver(platform::kEvErr);
        Wakeup->Wait(kTransientFailurePauseMs);
      }
      continue;
    }
    if (Terminated()) return;  // a stop request wins over events seen with it
    if (occurred != 0) Deliver(occurred);
    // Woken without events and without a stop request: nothing to deliver.
    // A Stop racing with this Reset is still seen at the top of the loop.
    Wakeup->Reset();
  }
}

void TVaCommEventThread::Deliver(uint32_t events) {
  Occurred = events;
  try {
    Synchronize([this] { DispatchEvents(); });
  } catch (...) {
    // DispatchEvents reports its own exceptions, so this is the hand-off
    // itself failing (the main loop has ended). Nothing can be delivered
    // any more; the body must not end before Stop, so wait for it.
    Wakeup->Wait(platform::kInfinite);
  }
}

void TVaCommEventThread::DispatchEvents() {
  // A port closed (or destroyed) after this hand-off was queued is not
  // touched; a handler may also close or destroy the port half-way, so the
  // check is repeated before each step.
  const auto open = [this] { return lifetime_ && lifetime_->open; };
  try {
    if (!open()) return;
    Comm.UpdateDisplay();
    if (Occurred & platform::kEvRxChar) {
      if (!open()) return;
      Comm.HandleRxChar();
      Occurred &= ~platform::kEvRxChar;
    }
    if (Occurred != 0 && open()) Comm.HandleEvents(Occurred);
  } catch (...) {
    tk::Application::Instance().HandleException(std::current_exception(), this);
  }
}

}  // namespace comm

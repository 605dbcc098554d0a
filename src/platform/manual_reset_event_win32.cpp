#include "platform/manual_reset_event_win32.h"

#include <vector>

namespace platform {

ManualResetEvent::ManualResetEvent(bool initially_signaled) : impl_(std::make_unique<Impl>()) {
  impl_->handle.Reset(::CreateEventW(nullptr, TRUE, initially_signaled ? TRUE : FALSE, nullptr));
  if (!impl_->handle) impl_->creation_error = ::GetLastError();
}

ManualResetEvent::~ManualResetEvent() = default;

int ManualResetEvent::CreationError() const {
  return static_cast<int>(impl_->creation_error);
}

void ManualResetEvent::Signal() {
  if (impl_->handle) ::SetEvent(impl_->handle.Get());
}

void ManualResetEvent::Reset() {
  if (impl_->handle) ::ResetEvent(impl_->handle.Get());
}

bool ManualResetEvent::IsSignaled() const {
  return impl_->handle && ::WaitForSingleObject(impl_->handle.Get(), 0) == WAIT_OBJECT_0;
}

WaitResult ManualResetEvent::Wait(uint32_t timeout_ms) {
  if (!impl_->handle) {
    ::SetLastError(impl_->creation_error);
    return WaitResult::Error;
  }
  switch (::WaitForSingleObject(impl_->handle.Get(), timeout_ms)) {
    case WAIT_OBJECT_0:
      return WaitResult::Signaled;
    case WAIT_TIMEOUT:
      return WaitResult::Timeout;
    case WAIT_ABANDONED:
      return WaitResult::Abandoned;
    default:
      return WaitResult::Error;
  }
}

int WaitForAnyHandle(std::span<const HANDLE> objects, uint32_t timeout_ms) {
  // An empty set could never end the wait.
  if (objects.empty() || objects.size() > MAXIMUM_WAIT_OBJECTS) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  for (const HANDLE object : objects) {
    if (object == nullptr) {
      ::SetLastError(ERROR_INVALID_HANDLE);
      return -1;
    }
  }
  const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(objects.size()), objects.data(),
                                                FALSE, timeout_ms);
  if (result < WAIT_OBJECT_0 + objects.size()) return static_cast<int>(result - WAIT_OBJECT_0);
  // WAIT_FAILED has set the last error; events are never abandoned.
  if (result == WAIT_TIMEOUT) ::SetLastError(ERROR_TIMEOUT);
  return -1;
}

int WaitForAny(std::span<ManualResetEvent* const> events, uint32_t timeout_ms) {
  std::vector<HANDLE> objects;
  objects.reserve(events.size());
  for (const ManualResetEvent* event : events) {
    if (event == nullptr) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    const HANDLE object = ManualResetEventAccess::Handle(*event);
    if (object == nullptr) {
      ::SetLastError(static_cast<DWORD>(event->CreationError()));
      return -1;
    }
    objects.push_back(object);
  }
  return WaitForAnyHandle(objects, timeout_ms);
}

}  // namespace platform

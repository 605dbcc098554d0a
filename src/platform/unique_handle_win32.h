#pragma once
// Ownership of a Windows handle: closed when its owner goes. Handles of
// objects that an overlapped operation may still use (a port, the event of an
// OVERLAPPED record) must outlive that operation: cancel it and wait for it
// before the owner goes.
#include <windows.h>

#include <utility>

namespace platform {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  // Takes `handle`; nullptr and INVALID_HANDLE_VALUE stand for none.
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return Valid(); }

  // Closes the handle held, if any, and takes `handle`.
  void Reset(HANDLE handle = nullptr) {
    if (Valid()) ::CloseHandle(handle_);
    handle_ = handle;
  }
  HANDLE Release() { return std::exchange(handle_, nullptr); }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace platform

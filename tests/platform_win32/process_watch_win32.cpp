#include <windows.h>

#include "platform/process_watch.h"
#include "platform/unique_handle_win32.h"

namespace platform {

struct ProcessWatch::Impl {
  UniqueHandle process;
};

void ProcessWatch::AdoptOrphans() {}

ProcessWatch::ProcessWatch(long id) : impl_(std::make_unique<Impl>()) {
  // Held from now on: its exit status stays readable after it ends.
  impl_->process.Reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     static_cast<DWORD>(id)));
}

ProcessWatch::~ProcessWatch() = default;

std::optional<int> ProcessWatch::WaitForEnd(std::chrono::milliseconds limit) {
  if (!impl_->process) return std::nullopt;
  if (::WaitForSingleObject(impl_->process.Get(), static_cast<DWORD>(limit.count())) !=
      WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  if (!::GetExitCodeProcess(impl_->process.Get(), &code)) return std::nullopt;
  return static_cast<int>(code);
}

}  // namespace platform

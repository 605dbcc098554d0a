#include "comm/VaSupport.h"

#include <cerrno>

#include "platform/system_error.h"
#include "platform/tick.h"

namespace comm {

TVaHandleObject::~TVaHandleObject() = default;

TVaWaitResult TVaHandleObject::WaitFor(uint32_t timeout_ms) {
  if (!handle_) {
    last_error_ = EBADF;
    return wtError;
  }
  switch (handle_->Wait(timeout_ms)) {
    case platform::WaitResult::Signaled:
      return wtSignaled;
    case platform::WaitResult::Timeout:
      return wtTimeout;
    case platform::WaitResult::Abandoned:
      return wtAbandoned;
    case platform::WaitResult::Error:
      last_error_ = platform::LastError();
      return wtError;
  }
  return wtError;
}

void TVaEvent::Signal() {
  if (handle_) handle_->Signal();
}

void TVaEvent::Reset() {
  if (handle_) handle_->Reset();
}

TVaWaitEvent::TVaWaitEvent() {
  handle_ = std::make_unique<platform::ManualResetEvent>(false);
}

std::string FormatCommError(const std::string& fmt, int code, const std::string& text) {
  std::string out;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] == '%' && i + 1 < fmt.size()) {
      const char conversion = fmt[i + 1];
      if (conversion == 'd' || conversion == 's' || conversion == '%') {
        out += conversion == 'd'   ? std::to_string(code)
               : conversion == 's' ? text
                                   : std::string("%");
        ++i;
        continue;
      }
    }
    out += fmt[i];
  }
  return out;
}

std::string CleanSystemText(const std::string& text) {
  std::string out = text.substr(0, 256);
  while (!out.empty()) {
    const auto c = static_cast<unsigned char>(out.back());
    if (c > ' ' && c != '.' && c != 0x7F) break;
    out.pop_back();
  }
  return out;
}

void StartTimer(TVaTimer& timer, uint32_t interval) {
  timer.StartTick = platform::TickCount();
  timer.Interval = interval;
}

bool TimerExpired(const TVaTimer& timer) {
  const uint32_t elapsed = platform::TickCount() - timer.StartTick;  // modulo 2^32
  return elapsed > timer.Interval;
}

bool MaskTest(int32_t bit, int32_t mask) {
  return (bit & mask) > 0;
}

}  // namespace comm

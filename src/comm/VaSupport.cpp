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

std::string FillFormat(std::string_view fmt, int64_t number, std::optional<std::string_view> text) {
  std::string out;
  for (size_t i = 0; i < fmt.size(); ++i) {
    const char conversion = fmt[i] == '%' && i + 1 < fmt.size() ? fmt[i + 1] : '\0';
    if (conversion == 'd') {
      out += std::to_string(number);
    } else if (conversion == 's' && text) {
      out += *text;
    } else if (conversion == '%') {
      out += '%';
    } else {
      out += fmt[i];
      continue;
    }
    ++i;
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

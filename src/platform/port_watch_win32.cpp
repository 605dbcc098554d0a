#include <windows.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/manual_reset_event_win32.h"
#include "platform/natural_order.h"
#include "platform/port_watch.h"
#include "platform/serial_port_map_win32.h"
#include "platform/unique_handle_win32.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// The serial-port map is looked at this often, in case its change
// notification is missed (the map's key is made with the first port).
constexpr uint32_t kLookMs = 1000;

std::vector<std::string> SortedPortNames() {
  std::vector<std::string> names = MappedPortNames();
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

}  // namespace

struct PortWatch::Impl {
  std::vector<std::string> seen = SortedPortNames();
  RegistryKey key;
  UniqueHandle notified{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  bool armed = false;

  // Asks for the map's next change, once: a notification stays asked for
  // until it comes.
  void Arm() {
    if (armed || !notified) return;
    if (!key.valid()) key = OpenSerialPortMap(KEY_NOTIFY | KEY_QUERY_VALUE);
    if (!key.valid()) return;
    ::ResetEvent(notified.Get());
    if (::RegNotifyChangeKeyValue(key.get(), FALSE,
                                  REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                  notified.Get(), TRUE) == ERROR_SUCCESS) {
      armed = true;
    } else {
      key.Reset();  // the key went: open it again when it is back
    }
  }

  // True when the map's names differ from those seen last.
  bool LookAgain() {
    std::vector<std::string> now = SortedPortNames();
    if (now == seen) return false;
    seen = std::move(now);
    return true;
  }
};

PortWatch::PortWatch() : impl_(std::make_unique<Impl>()) {
  impl_->Arm();
}

PortWatch::~PortWatch() = default;

PortWatch::Wake PortWatch::Wait(ManualResetEvent* wakeup, uint32_t timeout_ms) {
  const bool infinite = timeout_ms == kInfinite;
  const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeout_ms);
  for (;;) {
    if (wakeup != nullptr && wakeup->IsSignaled()) return Wake::WakeUp;
    impl_->Arm();
    if (impl_->LookAgain()) return Wake::Changed;
    uint32_t pause = kLookMs;
    if (!infinite) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return Wake::Timeout;
      pause = static_cast<uint32_t>(std::min<long long>(left, kLookMs));
    }
    std::vector<HANDLE> objects;
    const HANDLE wakeup_handle = wakeup ? ManualResetEventAccess::Handle(*wakeup) : nullptr;
    if (wakeup_handle != nullptr) objects.push_back(wakeup_handle);
    if (impl_->armed) objects.push_back(impl_->notified.Get());
    int which = -1;
    if (objects.empty()) {
      ::Sleep(pause);
    } else {
      which = WaitForAnyHandle(objects, pause);
    }
    if (which >= 0 && objects[static_cast<size_t>(which)] == wakeup_handle) return Wake::WakeUp;
    if (which >= 0) {
      // Something changed, even if the names are the same again by now (an
      // adapter replugged quickly under its old name).
      impl_->armed = false;
      impl_->LookAgain();
      return Wake::Changed;
    }
  }
}

}  // namespace platform

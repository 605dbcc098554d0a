// The message loop against the loop contract, under Wine's null display
// driver too: its modal box is the system's message box.
#include "view/win32/win32_event_loop.h"

#include <chrono>

#include "loop_contract/loop_driver.h"

namespace {

// Handles the messages waiting for this thread, without waiting.
void DispatchWaiting() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The box the test shows now, and what closes it; read by the thread timer
// that runs inside the box's own message loop.
struct OpenBox {
  const std::function<bool()>* done;
  std::chrono::steady_clock::time_point deadline;
};
thread_local OpenBox* t_open_box = nullptr;

void CALLBACK CheckOpenBox(HWND, UINT, UINT_PTR, DWORD) {
  if (t_open_box == nullptr) return;
  if (!(*t_open_box->done)() && std::chrono::steady_clock::now() < t_open_box->deadline) return;
  // The box is the system's dialog window (class "#32770") of this thread.
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32770") PostMessageW(window, WM_COMMAND, IDOK, 0);
        return TRUE;
      },
      0);
}

class Win32Driver : public loop_contract::LoopDriver {
 public:
  std::unique_ptr<tk::MainThreadLoop> Make() override {
    return std::make_unique<tk::Win32EventLoop>();
  }

  bool PumpUntil(tk::MainThreadLoop& loop, const std::function<bool()>& done,
                 int64_t real_timeout_ms) override {
    auto& win32 = static_cast<tk::Win32EventLoop&>(loop);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(real_timeout_ms);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      // `done` may depend on threads that post nothing: look again soon.
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      win32.ProcessMessages();
    }
    return done();
  }

  bool RunModal(tk::MainThreadLoop&, const std::function<bool()>& done,
                int64_t real_timeout_ms) override {
    OpenBox box{&done,
                std::chrono::steady_clock::now() + std::chrono::milliseconds(real_timeout_ms)};
    t_open_box = &box;
    const UINT_PTR check = SetTimer(nullptr, 0, 2, &CheckOpenBox);
    MessageBoxW(nullptr, L"waiting", L"Quarnel", MB_OK);
    KillTimer(nullptr, check);
    t_open_box = nullptr;
    return done();
  }

  void HandleQueued() override { DispatchWaiting(); }
};

INSTANTIATE_TEST_SUITE_P(Win32, LoopContract,
                         ::testing::Values(loop_contract::DriverParam{
                             "Win32", [] { return std::make_unique<Win32Driver>(); }}),
                         loop_contract::DriverName);

}  // namespace

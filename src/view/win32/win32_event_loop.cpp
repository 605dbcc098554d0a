#include "view/win32/win32_event_loop.h"

#include <algorithm>
#include <stdexcept>

#include "toolkit/application.h"

namespace tk {

namespace {

constexpr wchar_t kClassName[] = L"QuarnelEventLoop";

void RegisterLoopClass(WNDPROC proc) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = proc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = kClassName;
  // Registered once per process; a second loop finds it there.
  if (RegisterClassExW(&cls) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw std::runtime_error("The event loop's window class cannot be registered");
}

// Tab, the arrow keys and Enter move between and press the controls of a
// window that holds controls, as in any dialog of the system. True when the
// message was that and has been handled.
bool NavigateControls(MSG& message) {
  if (message.hwnd == nullptr) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  if (root == nullptr || !(GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT))
    return false;
  return IsDialogMessageW(root, &message) != FALSE;
}

}  // namespace

Win32EventLoop::Win32EventLoop() : MainThreadLoop(TimerThreads::kMainOnly) {
  RegisterLoopClass(&Win32EventLoop::WindowProc);
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) throw std::runtime_error("The event loop's window cannot be made");
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  Install();
}

Win32EventLoop::~Win32EventLoop() {
  Uninstall();  // from now on no other thread posts to the window
  for (const auto& entry : timers_) KillTimer(window_, static_cast<UINT_PTR>(entry.first));
  timers_.clear();
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);  // drops the wake-ups still queued for it
}

EventLoop::TimerId Win32EventLoop::AddDriverTimer(uint32_t interval_ms,
                                                  std::function<void()> fire) {
  const TimerId id = next_timer_id_++;
  const UINT interval = std::clamp<uint32_t>(interval_ms, 1, USER_TIMER_MAXIMUM);
  if (SetTimer(window_, static_cast<UINT_PTR>(id), interval, nullptr) == 0)
    throw std::runtime_error("No timer available");
  timers_.emplace(id, std::make_shared<TimerHandler>(std::move(fire)));
  return id;
}

void Win32EventLoop::RemoveDriverTimer(TimerId id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  KillTimer(window_, static_cast<UINT_PTR>(id));  // also drops a firing already queued
  timers_.erase(it);
}

void Win32EventLoop::Fire(TimerId id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) TimerHandler::Fire(it->second);
}

void Win32EventLoop::PostToWindow(UINT message) {
  // The window cannot go away meanwhile.
  PostUnlessClosed([&] { PostMessageW(window_, message, 0, 0); });
}

LRESULT CALLBACK Win32EventLoop::WindowProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
  auto* loop = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (loop != nullptr) {
    switch (message) {
      case WM_TIMER:
        loop->Fire(static_cast<TimerId>(wparam));
        return 0;
      case kRunCalls:
        loop->RunPendingCalls();
        return 0;
      case kQuit:
        loop->Quit();
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void Win32EventLoop::Quit() {
  if (!IsMainThread()) {
    PostToWindow(kQuit);
    return;
  }
  // Not WM_QUIT: that would also end the loop of a message box that is open.
  quit_ = true;
  if (running_) PostMessageW(window_, WM_NULL, 0, 0);  // GetMessage returns and sees it
}

void Win32EventLoop::Run() {
  running_ = true;
  MSG message;
  // A Quit() before Run() (the window closed at start-up) ends it at once.
  while (!quit_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for any loop outside this one
      break;
    }
    if (got < 0) break;
    if (NavigateControls(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  quit_ = false;
  running_ = false;
}

void Win32EventLoop::ProcessMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (NavigateControls(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace tk

#include "view/win32/win32_form_binding.h"

#include <algorithm>
#include <vector>

#include "view/win32/win32_form_view.h"

namespace tk {

const wchar_t kWin32FormClass[] = L"QuarnelForm";

namespace {

// Forms of this thread that preview keys, and the hook that shows them the
// keys: it sees each message as the thread's message loop (or a modal
// dialog's) takes it from the queue, before it reaches the focused control.
struct KeyPreviews {
  std::vector<Win32FormBinding*> forms;
  HHOOK hook = nullptr;
};

KeyPreviews& Previews() {
  thread_local KeyPreviews previews;
  return previews;
}

LRESULT CALLBACK KeyPreviewHook(int code, WPARAM wparam, LPARAM lparam) {
  // Only messages taken off the queue: a look without taking comes back again.
  if (code == HC_ACTION && wparam == PM_REMOVE) {
    auto* message = reinterpret_cast<MSG*>(lparam);
    if ((message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN) &&
        message->hwnd != nullptr) {
      HWND root = GetAncestor(message->hwnd, GA_ROOT);
      const std::vector<Win32FormBinding*> forms = Previews().forms;
      for (Win32FormBinding* form : forms) {
        if (form->Window() != root) continue;
        if (form->KeyPressed(*message)) message->message = WM_NULL;  // taken by the form
        break;
      }
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

DWORD Win32FormStyle(TBorderStyle border) {
  return border == TBorderStyle::bsSingle
             ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN
             : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
}

Win32FormBinding::Win32FormBinding(Win32FormView& view, TForm& form, HWND window)
    : FormBinding(
          view.Core(), form,
          std::make_unique<Win32Native>(view, window, Win32Native::Background::kFace, false)),
      view_(view) {
  Win32Native::Of(*this).Listen(this);
}

Win32FormBinding::~Win32FormBinding() {
  SetPreview(false);
}

void Win32FormBinding::ShowTitle(const std::string& title) {
  SetWindowTextW(Window(), Wide(title).c_str());
}

void Win32FormBinding::ShowGeometry() {
  // The form's size is its client size; the window adds its frame.
  RECT frame{0, 0, view_.Scale(std::max(Form().ClientWidth(), 1)),
             view_.Scale(std::max(Form().ClientHeight(), 1))};
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(Window(), GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(Window(), GWL_EXSTYLE));
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int left = Form().Left();
  int top = Form().Top();
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (left == 0 && top == 0) {
    if (placed_) {
      flags |= SWP_NOMOVE;
    } else {
      // No place of its own: the middle of the screen the operator works on.
      RECT work{};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      left = work.left + std::max(0L, (work.right - work.left - width) / 2);
      top = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    }
  }
  placed_ = true;
  SetWindowPos(Window(), nullptr, left, top, width, height, flags);
}

void Win32FormBinding::ShowWindow(bool visible) {
  if (visible == (IsWindowVisible(Window()) != FALSE)) return;
  ::ShowWindow(Window(), visible ? SW_SHOW : SW_HIDE);
  if (visible) SetForegroundWindow(Window());
}

void Win32FormBinding::ShowStyle() {
  const DWORD keep = static_cast<DWORD>(GetWindowLongPtrW(Window(), GWL_STYLE)) & WS_VISIBLE;
  const DWORD style = Win32FormStyle(Form().BorderStyle()) | keep;
  if (static_cast<DWORD>(GetWindowLongPtrW(Window(), GWL_STYLE)) != style) {
    SetWindowLongPtrW(Window(), GWL_STYLE, static_cast<LONG_PTR>(style));
    SetWindowPos(Window(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    ShowGeometry();
  }
  SetPreview(Form().KeyPreview());
}

void Win32FormBinding::SetPreview(bool on) {
  if (on == previewing_) return;
  KeyPreviews& previews = Previews();
  if (on) {
    previews.forms.push_back(this);
    if (previews.hook == nullptr)
      previews.hook =
          SetWindowsHookExW(WH_GETMESSAGE, &KeyPreviewHook, nullptr, GetCurrentThreadId());
  } else {
    auto& forms = previews.forms;
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    if (forms.empty() && previews.hook != nullptr) {
      UnhookWindowsHookEx(previews.hook);
      previews.hook = nullptr;
    }
  }
  previewing_ = on;
}

bool Win32FormBinding::KeyPressed(const MSG& message) {
  const auto key = static_cast<uint16_t>(message.wParam);
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (message.message == WM_SYSKEYDOWN || GetKeyState(VK_MENU) < 0) shift |= 2;
  if (GetKeyState(VK_CONTROL) < 0) shift |= 4;
  return PreviewKey(key, shift);
}

bool Win32FormBinding::Handle(UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_CLOSE) return false;
  // The close button asks the form; the view's window stays until the view goes.
  CloseRequested();
  result = 0;
  return true;
}

}  // namespace tk

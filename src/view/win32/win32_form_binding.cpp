#include "view/win32/win32_form_binding.h"

#include <algorithm>
#include <vector>

#include "view/core/focus_order.h"
#include "view/core/form_view_core.h"
#include "view/core/kind_bindings.h"
#include "view/win32/win32_combo_binding.h"
#include "view/win32/win32_form_view.h"

namespace tk {

const wchar_t kWin32FormClass[] = L"QuarnelForm";

namespace {

// The forms of this thread, and the hook that shows them their keys: it sees
// each message as the thread's message loop (or a modal dialog's) takes it
// from the queue, before it reaches the focused control or the loop's own
// handling of dialog keys.
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
  KeyPreviews& previews = Previews();
  previews.forms.push_back(this);
  if (previews.hook == nullptr)
    previews.hook =
        SetWindowsHookExW(WH_GETMESSAGE, &KeyPreviewHook, nullptr, GetCurrentThreadId());
}

Win32FormBinding::~Win32FormBinding() {
  KeyPreviews& previews = Previews();
  auto& forms = previews.forms;
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  if (forms.empty() && previews.hook != nullptr) {
    UnhookWindowsHookEx(previews.hook);
    previews.hook = nullptr;
  }
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
}

bool Win32FormBinding::KeyPressed(const MSG& message) {
  const auto key = static_cast<uint16_t>(message.wParam);
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (message.message == WM_SYSKEYDOWN || GetKeyState(VK_MENU) < 0) shift |= 2;
  if (GetKeyState(VK_CONTROL) < 0) shift |= 4;
  // The form first (while it previews keys): a key it takes goes no further.
  const LiveControl live = Live();
  if (PreviewKey(key, shift)) return true;
  if (*live == nullptr || message.message != WM_KEYDOWN) return false;
  return DialogKey(key, shift);
}

bool Win32FormBinding::DialogKey(uint16_t key, TShiftState shift) {
  ControlBinding* focused = View().FocusedBinding();
  switch (key) {
    case VK_TAB:
      if ((shift & ~TShiftState{1}) != 0) return false;  // Ctrl or Alt with Tab: not ours
      View().MoveFocus(focused == nullptr ? nullptr : &focused->Control(), (shift & 1) == 0);
      return true;
    case VK_RETURN:
      if (dynamic_cast<ButtonBinding*>(focused) == nullptr) return false;
      OperatorClick(focused->Live());
      return true;
    case VK_ESCAPE:
      if (auto* combo = dynamic_cast<Win32ComboBinding*>(focused)) return combo->CloseList();
      return false;
    default:
      return false;
  }
}

bool Win32FormBinding::Activated() {
  if (*last_focus_ != nullptr) {
    ControlBinding* last = View().BindingOf(**last_focus_);
    if (last != nullptr && last->TakesFocus() && Reachable(**last_focus_)) {
      last->Native().TakeFocus();
      return true;
    }
  }
  return View().MoveFocus(nullptr, true);
}

bool Win32FormBinding::Handle(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_CLOSE:
      // The close button asks the form; the view's window stays until the view goes.
      CloseRequested();
      result = 0;
      return true;
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) Resized(LOWORD(lparam), HIWORD(lparam));
      return false;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        ControlBinding* focused = View().FocusedBinding();
        last_focus_ = focused == nullptr ? std::make_shared<TControl*>(nullptr) : focused->Live();
        return false;
      }
      // Where no control takes the focus, the window keeps it itself.
      if (!Activated()) return false;
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace tk

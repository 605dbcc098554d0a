#include "view/win32/win32_form_view.h"

#include <stdexcept>

#include "view/win32/win32_bindings.h"
#include "view/win32/win32_combo_binding.h"
#include "view/win32/win32_form_binding.h"
#include "view/win32/win32_memo_binding.h"

namespace tk {

namespace {

constexpr wchar_t kHolderClass[] = L"QuarnelHolder";
constexpr UINT kFreeRetired = WM_APP + 1;

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, int background) {
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = proc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
  cls.lpszClassName = name;
  if (name == kWin32FormClass) {
    cls.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (cls.hIcon == nullptr) cls.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  }
  // Once per process; a second view finds the class there.
  if (RegisterClassExW(&cls) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw std::runtime_error("A window class of the main window cannot be registered");
}

using Win32Kinds = KindMaker<Win32FormView, Win32LabelBinding, Win32ButtonBinding,
                             Win32PanelBinding, Win32EditBinding, Win32ComboBinding,
                             Win32MemoBinding, Win32GaugeBinding, Win32ContainerBinding>;

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen == nullptr ? 96 : GetDeviceCaps(screen, LOGPIXELSY);
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

Win32FormView::Windows::Windows(TBorderStyle border) {
  RegisterWindowClass(kWin32FormClass, &ContainerWindowProc, COLOR_BTNFACE);
  RegisterWindowClass(kWin32PanelClass, &ContainerWindowProc, COLOR_BTNFACE);
  RegisterWindowClass(kHolderClass, &Win32FormView::HolderProc, COLOR_BTNFACE);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  holder = CreateWindowExW(0, kHolderClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                           nullptr);
  window = CreateWindowExW(WS_EX_CONTROLPARENT, kWin32FormClass, L"", Win32FormStyle(border),
                           CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, nullptr);
  if (holder == nullptr || window == nullptr) {
    if (holder != nullptr) DestroyWindow(holder);
    if (window != nullptr) DestroyWindow(window);
    throw std::runtime_error("The main window cannot be made");
  }
}

Win32FormView::Windows::~Windows() {
  SetWindowLongPtrW(holder, GWLP_USERDATA, 0);
  DestroyWindow(window);
  DestroyWindow(holder);
}

Win32FormView::Win32FormView(TForm& form)
    : FormView(form, std::make_unique<Win32Kinds>(*this)),
      dpi_(ScreenDpi()),
      fonts_(dpi_),
      windows_(form.BorderStyle()) {
  SetWindowLongPtrW(windows_.holder, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  Core().Start(std::make_unique<Win32FormBinding>(*this, form, windows_.window));
}

Win32FormView::~Win32FormView() {
  Close();  // the bindings before the windows and their fonts
  retired_.clear();
}

HWND Win32FormView::WindowOf(const TControl& control) const {
  const ControlBinding* binding = Core().BindingOf(control);
  return binding == nullptr ? nullptr : Win32Native::Of(*binding).Window();
}

HWND Win32FormView::ParentFor(NativeControl* container) const {
  return container == nullptr ? windows_.holder : static_cast<Win32Native*>(container)->Window();
}

void Win32FormView::Retire(std::unique_ptr<ControlBinding> binding) {
  // The binding may be inside one of its own notifications (a handler freed
  // its control): it goes once that is over.
  retired_.push_back(std::move(binding));
  PostMessageW(windows_.holder, kFreeRetired, 0, 0);
}

void Win32FormView::FreeRetired() {
  std::vector<std::unique_ptr<ControlBinding>> gone;
  gone.swap(retired_);  // a binding's going may retire further bindings
}

LRESULT CALLBACK Win32FormView::HolderProc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  auto* view = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == kFreeRetired && view != nullptr) {
    view->FreeRetired();
    return 0;
  }
  return ContainerWindowProc(window, message, wparam, lparam);
}

}  // namespace tk

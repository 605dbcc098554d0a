#include "view/win32/win32_form_view.h"

#include <algorithm>
#include <stdexcept>

#include "view/win32/win32_combo_binding.h"
#include "view/win32/win32_form_binding.h"
#include "view/win32/win32_memo_binding.h"
#include "view/win32/win32_simple_bindings.h"

namespace tk {

namespace {

constexpr wchar_t kHolderClass[] = L"QuarnelHolder";
constexpr UINT kFreeForgotten = WM_APP + 1;

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

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen == nullptr ? 96 : GetDeviceCaps(screen, LOGPIXELSY);
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

std::unique_ptr<Win32Binding> MakeWin32Binding(Win32FormView& view, TControl& control,
                                               HWND parent) {
  if (auto* c = dynamic_cast<TLabel*>(&control))
    return std::make_unique<Win32LabelBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TButton*>(&control))
    return std::make_unique<Win32ButtonBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TPanel*>(&control))
    return std::make_unique<Win32PanelBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TEdit*>(&control))
    return std::make_unique<Win32EditBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TComboBox*>(&control))
    return std::make_unique<Win32ComboBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TMemo*>(&control))
    return std::make_unique<Win32MemoBinding>(view, *c, parent);
  if (auto* c = dynamic_cast<TGauge*>(&control))
    return std::make_unique<Win32GaugeBinding>(view, *c, parent);
  return std::make_unique<Win32ContainerBinding>(view, control, parent);
}

// Hears of controls being destroyed, so their windows go with them.
class Win32FormView::Watcher : public TComponent {
 public:
  explicit Watcher(Win32FormView& view) : view_(view) {}

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove) view_.Forget(component);
  }

 private:
  Win32FormView& view_;
};

Win32FormView::Win32FormView(TForm& form)
    : form_(form), dpi_(ScreenDpi()), fonts_(dpi_), watcher_(std::make_unique<Watcher>(*this)) {
  RegisterWindowClass(kWin32FormClass, &ContainerWindowProc, COLOR_BTNFACE);
  RegisterWindowClass(kWin32PanelClass, &ContainerWindowProc, COLOR_BTNFACE);
  RegisterWindowClass(kHolderClass, &Win32FormView::HolderProc, COLOR_BTNFACE);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  holder_ = CreateWindowExW(0, kHolderClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                            nullptr);
  window_ =
      CreateWindowExW(WS_EX_CONTROLPARENT, kWin32FormClass, L"", Win32FormStyle(form.BorderStyle()),
                      CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, nullptr);
  if (holder_ == nullptr || window_ == nullptr) {
    if (holder_ != nullptr) DestroyWindow(holder_);
    if (window_ != nullptr) DestroyWindow(window_);
    throw std::runtime_error("The main window cannot be made");
  }
  SetWindowLongPtrW(holder_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  auto binding = std::make_unique<Win32FormBinding>(*this, form, window_);
  form_binding_ = binding.get();
  bindings_.emplace(&form, std::move(binding));
  order_.push_back(&form);
  watcher_->FreeNotification(&form);
  form_binding_->ApplyAll();
  BindNewControls();
}

Win32FormView::~Win32FormView() {
  // Children before their parents, the form last; then the windows themselves.
  for (auto it = order_.rbegin(); it != order_.rend(); ++it) bindings_.erase(*it);
  bindings_.clear();
  forgotten_.clear();
  watcher_.reset();
  SetWindowLongPtrW(holder_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
  DestroyWindow(holder_);
}

int Win32FormView::TextWidth(HFONT font, const std::wstring& text) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font);
  SIZE size{};
  GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return size.cx;
}

HFONT Win32FormView::FittingFont(const TFont& font, const std::vector<std::wstring>& texts,
                                 int width) {
  // Down to three quarters of the size asked for; below that, legible beats whole.
  TFont fitted = font;
  const int smallest = std::max(font.height * 3 / 4, 8);
  for (;;) {
    HFONT handle = fonts_.Get(fitted);
    int widest = 0;
    for (const std::wstring& text : texts) widest = std::max(widest, TextWidth(handle, text));
    if (widest <= width || fitted.height <= smallest) return handle;
    --fitted.height;
  }
}

void Win32FormView::RefitLabelsBeside(const TControl& control) {
  const TControl* parent = control.Parent();
  if (parent == nullptr) return;
  for (const TControl* sibling : parent->Children()) {
    if (sibling == &control || dynamic_cast<const TLabel*>(sibling) == nullptr) continue;
    if (auto it = bindings_.find(sibling); it != bindings_.end())
      static_cast<Win32LabelBinding&>(*it->second).Refit();
  }
}

void Win32FormView::BindNewControls() {
  for (TControl* child : std::vector<TControl*>(form_.Children())) Bind(*child);
  BindOwned(form_);
}

void Win32FormView::Show() {
  if (form_binding_ != nullptr) form_binding_->SetShown(true);
}

HWND Win32FormView::WindowOf(const TControl& control) const {
  auto it = bindings_.find(&control);
  return it == bindings_.end() ? nullptr : it->second->Window();
}

void Win32FormView::BindOwned(const TComponent& owner) {
  for (TComponent* component : std::vector<TComponent*>(owner.Components())) {
    if (auto* control = dynamic_cast<TControl*>(component)) Bind(*control);
    BindOwned(*component);
  }
}

Win32Binding* Win32FormView::Bind(TControl& control) {
  if (auto it = bindings_.find(&control); it != bindings_.end()) return it->second.get();
  if (binding_now_.count(&control) != 0) return nullptr;  // a parent cycle
  binding_now_.insert(&control);
  // The parent first: binding it binds its children, this one among them.
  HWND parent = ContainerFor(control.Parent());
  Win32Binding* result = nullptr;
  if (auto it = bindings_.find(&control); it != bindings_.end()) {
    result = it->second.get();
  } else {
    auto binding = MakeWin32Binding(*this, control, parent);
    result = binding.get();
    bindings_.emplace(&control, std::move(binding));
    order_.push_back(&control);
    watcher_->FreeNotification(&control);
    // The newest control lies in front of those made before it.
    SetWindowPos(result->Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    result->ApplyAll();
    for (TControl* child : std::vector<TControl*>(control.Children())) Bind(*child);
  }
  binding_now_.erase(&control);
  return result;
}

HWND Win32FormView::ContainerFor(TControl* parent) {
  if (parent == nullptr) return holder_;
  Win32Binding* binding = Bind(*parent);
  if (binding == nullptr || binding->Container() == nullptr) return holder_;
  return binding->Container();
}

void Win32FormView::Reparent(Win32Binding& binding) {
  HWND window = binding.Window();
  HWND target = ContainerFor(binding.Control().Parent());
  // A control placed inside itself cannot be shown.
  if (target == window || IsChild(window, target)) target = holder_;
  if (GetParent(window) != target) SetParent(window, target);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32FormView::Forget(TComponent* component) {
  auto it = bindings_.find(component);
  if (it == bindings_.end()) return;
  std::unique_ptr<Win32Binding> binding = std::move(it->second);
  bindings_.erase(it);
  order_.erase(std::remove(order_.begin(), order_.end(), component), order_.end());
  binding->Detach();
  if (binding.get() == form_binding_) {
    form_binding_ = nullptr;
    ShowWindow(window_, SW_HIDE);
  } else {
    // Windows of other controls inside it outlive it, unparented as their controls are.
    for (auto& [control, other] : bindings_)
      if (GetParent(other->Window()) == binding->Container()) {
        ShowWindow(other->Window(), SW_HIDE);
        SetParent(other->Window(), holder_);
      }
    ShowWindow(binding->Window(), SW_HIDE);
  }
  // The binding may be inside one of its own notifications (a handler freed
  // its control): it goes once that is over.
  forgotten_.push_back(std::move(binding));
  PostMessageW(holder_, kFreeForgotten, 0, 0);
}

void Win32FormView::FreeForgotten() {
  std::vector<std::unique_ptr<Win32Binding>> gone;
  gone.swap(forgotten_);  // a binding's going may forget further controls
}

LRESULT CALLBACK Win32FormView::HolderProc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  auto* view = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == kFreeForgotten && view != nullptr) {
    view->FreeForgotten();
    return 0;
  }
  return ContainerWindowProc(window, message, wparam, lparam);
}

}  // namespace tk

#include "view/win32/win32_combo_binding.h"

#include <algorithm>

#include "view/win32/win32_form_view.h"

namespace tk {

namespace {
// Entries the open list shows before it scrolls.
constexpr int kVisibleEntries = 12;
// The frame and margins of the box beside its button.
constexpr int kBoxMargins = 8;
}  // namespace

Win32ComboBinding::Win32ComboBinding(Win32FormView& view, TComboBox& combo,
                                     NativeControl* container)
    : ComboBinding(view.Core(), combo,
                   std::make_unique<Win32Native>(
                       view,
                       CreateChildWindow(WC_COMBOBOXW,
                                         CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP,
                                         0, view.ParentFor(container)),
                       Win32Native::Background::kField)),
      view_(view) {
  Win32Native::Of(*this).Listen(this);
  SendMessageW(Window(), CB_SETMINVISIBLE, kVisibleEntries, 0);
}

void Win32ComboBinding::Command(WORD code) {
  switch (code) {
    case CBN_SELCHANGE:
      // In the open list this only marks an entry (the arrow keys move the
      // mark); in the closed box the arrow keys pick it.
      if (SendMessageW(Window(), CB_GETDROPPEDSTATE, 0, 0) == 0)
        Picked(static_cast<int>(SendMessageW(Window(), CB_GETCURSEL, 0, 0)));
      break;
    case CBN_SELENDOK:
      // The list closes on a click or Return: the marked entry is picked.
      if (SendMessageW(Window(), CB_GETDROPPEDSTATE, 0, 0) != 0)
        Picked(static_cast<int>(SendMessageW(Window(), CB_GETCURSEL, 0, 0)));
      break;
    case CBN_SELENDCANCEL:
      // Closed without a pick: the box shows the control's entry again.
      if (*Live() != nullptr) ShowSelection(Combo().ItemIndex(), Combo().Text());
      break;
    case CBN_EDITCHANGE:
      Typed(Utf8(WindowText(Window())));
      // The list opens as the operator types (unless the text's handler
      // freed the control).
      if (*Live() != nullptr && Combo().AutoDropDown()) ListOpened(true);
      break;
    case CBN_DROPDOWN:
      ListOpened(true);
      break;
    case CBN_CLOSEUP:
      ListOpened(false);
      break;
    default:
      break;
  }
}

void Win32ComboBinding::Apply(Change change) {
  ComboBinding::Apply(change);
  // The list's width follows its entries in the control's font.
  if (change == Change::Font) ShowGeometry();
}

int Win32ComboBinding::TextRoom(int width) const {
  return width - view_.Unscale(GetSystemMetrics(SM_CXVSCROLL)) - kBoxMargins;
}

void Win32ComboBinding::ShowGeometry() {
  // The height of a combo box's window includes its list; the height of the
  // box itself follows its font.
  const TControl& c = Combo();
  const int entry = static_cast<int>(SendMessageW(Window(), CB_GETITEMHEIGHT, 0, 0));
  SetWindowPos(Window(), nullptr, view_.Scale(c.Left()), view_.Scale(c.Top()),
               view_.Scale(c.Width()),
               view_.Scale(c.Height()) + std::max(entry, 1) * kVisibleEntries + 4,
               SWP_NOZORDER | SWP_NOACTIVATE);
  // The list may be wider than the box: long port names stay readable.
  int widest = 0;
  for (const std::string& item : Combo().Items())
    widest = std::max(widest, Native().MeasureText(c.Font(), item).width);
  SendMessageW(Window(), CB_SETDROPPEDWIDTH,
               static_cast<WPARAM>(view_.Scale(widest) + GetSystemMetrics(SM_CXVSCROLL) + 8), 0);
}

void Win32ComboBinding::ShowItems(const std::vector<std::string>& items) {
  SendMessageW(Window(), CB_RESETCONTENT, 0, 0);
  for (const std::string& item : items)
    SendMessageW(Window(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  ShowGeometry();
}

void Win32ComboBinding::ShowSelection(int index, const std::string& text) {
  const auto shown = static_cast<int>(SendMessageW(Window(), CB_GETCURSEL, 0, 0));
  if (shown != index) SendMessageW(Window(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  const std::wstring wide = Wide(text);
  if (WindowText(Window()) != wide) SetWindowTextW(Window(), wide.c_str());
}

void Win32ComboBinding::ShowDroppedDown(bool open) {
  // The list opens only over a box that is on the screen.
  open = open && IsWindowVisible(Window());
  const bool is_open = SendMessageW(Window(), CB_GETDROPPEDSTATE, 0, 0) != 0;
  if (open == is_open) return;
  // An open list takes the keys, as the system's own lists do: its box gets
  // the focus (in the active window).
  if (open && GetActiveWindow() == GetAncestor(Window(), GA_ROOT)) SetFocus(Window());
  SendMessageW(Window(), CB_SHOWDROPDOWN, open ? TRUE : FALSE, 0);
}

bool Win32ComboBinding::CloseList() {
  if (SendMessageW(Window(), CB_GETDROPPEDSTATE, 0, 0) == 0) return false;
  SendMessageW(Window(), CB_SHOWDROPDOWN, FALSE, 0);
  return true;
}

}  // namespace tk

#include "view/win32/win32_combo_binding.h"

#include <algorithm>

#include "view/win32/win32_form_view.h"

namespace tk {

namespace {
// Entries the open list shows before it scrolls.
constexpr int kVisibleEntries = 12;
}  // namespace

Win32ComboBinding::Win32ComboBinding(Win32FormView& view, TComboBox& combo, HWND parent)
    : Win32Binding(view, combo), combo_(combo) {
  Attach(CreateChildWindow(WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP,
                           0, parent));
  SendMessageW(Window(), CB_SETMINVISIBLE, kVisibleEntries, 0);
}

void Win32ComboBinding::Command(WORD code) {
  if (Applying()) return;  // the window's echo of a change of the control
  switch (code) {
    case CBN_SELCHANGE: {
      // The operator picked an entry, in the open list or with the arrow keys.
      const auto index = static_cast<int>(SendMessageW(Window(), CB_GETCURSEL, 0, 0));
      Act<TComboBox>(Live(), [index](TComboBox& c) { c.Pick(index); });
      break;
    }
    case CBN_EDITCHANGE: {
      const std::string text = Utf8(WindowText(Window()));
      Act<TComboBox>(Live(), [&](TComboBox& c) {
        c.SetText(text);
        if (c.AutoDropDown()) c.SetDroppedDown(true);  // the list opens as the operator types
      });
      break;
    }
    case CBN_DROPDOWN:
      Act<TComboBox>(Live(), [](TComboBox& c) { c.SetDroppedDown(true); });
      break;
    case CBN_CLOSEUP:
      Act<TComboBox>(Live(), [](TComboBox& c) { c.SetDroppedDown(false); });
      break;
    default:
      break;
  }
}

HBRUSH Win32ComboBinding::Colours(HDC dc) {
  SetTextColor(dc, TextColour());
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  return GetSysColorBrush(COLOR_WINDOW);
}

void Win32ComboBinding::Apply(Change change) {
  Win32Binding::Apply(change);
  switch (change) {
    case Change::Items:
      ShowItems();
      break;
    case Change::Text:
    case Change::ItemIndex:
      ShowSelection();
      break;
    case Change::DroppedDown:
    case Change::Visible:
    case Change::Enabled:
      ShowDroppedDown();
      break;
    case Change::Font:
      ApplyGeometry();  // the list's width follows its entries in this font
      break;
    default:
      break;
  }
  // The box shows its longest entry whole.
  if (change == Change::Items || change == Change::Geometry) ApplyFont();
}

HFONT Win32ComboBinding::ShownFont() {
  std::vector<std::wstring> texts;
  for (const std::string& item : combo_.Items()) texts.push_back(Wide(item));
  // Room in the box: its width less the button, the frame and the margins.
  const int room = View().Scale(combo_.Width()) - GetSystemMetrics(SM_CXVSCROLL) - 8;
  return View().FittingFont(combo_.Font(), texts, room);
}

void Win32ComboBinding::ApplyGeometry() {
  // The height of a combo box's window includes its list; the height of the
  // box itself follows its font.
  const TControl& c = Control();
  const int entry = static_cast<int>(SendMessageW(Window(), CB_GETITEMHEIGHT, 0, 0));
  SetWindowPos(Window(), nullptr, View().Scale(c.Left()), View().Scale(c.Top()),
               View().Scale(c.Width()),
               View().Scale(c.Height()) + std::max(entry, 1) * kVisibleEntries + 4,
               SWP_NOZORDER | SWP_NOACTIVATE);
  // The list may be wider than the box: long port names stay readable.
  int widest = 0;
  HDC dc = GetDC(Window());
  HGDIOBJ old = SelectObject(dc, View().FontFor(c.Font()));
  for (const std::string& item : combo_.Items()) {
    const std::wstring text = Wide(item);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    widest = std::max<int>(widest, size.cx);
  }
  SelectObject(dc, old);
  ReleaseDC(Window(), dc);
  SendMessageW(Window(), CB_SETDROPPEDWIDTH,
               static_cast<WPARAM>(widest + GetSystemMetrics(SM_CXVSCROLL) + 8), 0);
}

void Win32ComboBinding::ShowItems() {
  SendMessageW(Window(), CB_RESETCONTENT, 0, 0);
  for (const std::string& item : combo_.Items())
    SendMessageW(Window(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  ApplyGeometry();
  ShowSelection();
}

void Win32ComboBinding::ShowSelection() {
  const auto shown = static_cast<int>(SendMessageW(Window(), CB_GETCURSEL, 0, 0));
  if (shown != combo_.ItemIndex())
    SendMessageW(Window(), CB_SETCURSEL, static_cast<WPARAM>(combo_.ItemIndex()), 0);
  const std::wstring text = Wide(combo_.Text());
  if (WindowText(Window()) != text) SetWindowTextW(Window(), text.c_str());
}

void Win32ComboBinding::ShowDroppedDown() {
  // The list opens only over a box that the operator can see and use.
  const bool open =
      combo_.DroppedDown() && combo_.Showing() && combo_.Enabled() && IsWindowVisible(Window());
  const bool is_open = SendMessageW(Window(), CB_GETDROPPEDSTATE, 0, 0) != 0;
  if (open != is_open) SendMessageW(Window(), CB_SHOWDROPDOWN, open ? TRUE : FALSE, 0);
}

}  // namespace tk

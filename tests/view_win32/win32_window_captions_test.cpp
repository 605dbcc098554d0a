// The main window as the system's controls show it on this machine's faces
// (under Wine: Wine's own): in both layouts every caption is whole, within
// its control, and clear of the control beside it; the speed list shows each
// of its speeds whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/main_window.h"
#include "view/win32/win32_event_loop.h"
#include "view/win32/win32_form_view.h"
#include "view/win32/win32_text.h"

namespace {

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

int TextWidth(HWND window, const std::wstring& text) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size.cx;
}

RECT InParent(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Describe(HWND window, const std::wstring& text) {
  return "\"" + tk::Utf8(text) + "\" (" + std::to_string(TextWidth(window, text)) + " pixels)";
}

void ExpectClearOfItsNeighbours(HWND label) {
  const RECT box = InParent(label);
  RECT parent;
  GetClientRect(GetParent(label), &parent);
  const std::string what = Describe(label, tk::WindowText(label));
  EXPECT_LE(box.right, parent.right) << what;
  for (HWND other = GetWindow(GetParent(label), GW_CHILD); other != nullptr;
       other = GetWindow(other, GW_HWNDNEXT)) {
    if (other == label || !IsWindowVisible(other)) continue;
    RECT r = InParent(other);
    if (ClassOf(other) == L"ComboBox") {  // its window includes the closed list
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      GetComboBoxInfo(other, &info);
      r.bottom = r.top + (info.rcButton.bottom - info.rcButton.top) + 4;
    }
    const bool beside = r.top < box.bottom && r.bottom > box.top;
    if (beside && r.left > box.left) {
      EXPECT_LE(box.right, r.left) << what;
    }
  }
}

void ExpectEveryCaptionWhole(HWND form) {
  std::vector<HWND> windows;
  EnumChildWindows(
      form,
      [](HWND w, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  for (HWND w : windows) {
    if (!IsWindowVisible(w)) continue;
    const std::wstring kind = ClassOf(w);
    RECT client;
    GetClientRect(w, &client);
    const std::wstring text = tk::WindowText(w);
    if (kind == L"Static" && !text.empty() &&
        (GetWindowLongPtrW(w, GWL_STYLE) & SS_LEFTNOWORDWRAP) == SS_LEFTNOWORDWRAP) {
      EXPECT_LE(TextWidth(w, text), client.right) << Describe(w, text);
      ExpectClearOfItsNeighbours(w);
    } else if (kind == L"Button") {
      // Within the button's edge and its focus rectangle.
      EXPECT_LE(TextWidth(w, text), client.right - 8) << Describe(w, text);
    } else if (kind == L"ComboBox") {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      ASSERT_TRUE(GetComboBoxInfo(w, &info));
      const int room = info.rcItem.right - info.rcItem.left;
      const auto count = static_cast<int>(SendMessageW(w, CB_GETCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(w, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        item.resize(static_cast<size_t>(
            SendMessageW(w, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        EXPECT_LE(TextWidth(w, item), room) << Describe(w, item);
      }
    }
  }
}

TEST(Win32WindowCaptions, EveryCaptionIsWholeInBothLayouts) {
  tk::Win32EventLoop loop;
  quarnel::TForm1::Environment environment;
  environment.list_ports = [] { return std::vector<std::string>{"COM1", "COM5"}; };
  quarnel::TForm1 form(environment);
  tk::Win32FormView view(form);
  view.Show();
  {
    SCOPED_TRACE("guided layout");
    ExpectEveryCaptionWhole(view.Window());
  }
  uint16_t key = VK_F12;
  form.KeyDown(key, 0);
  ASSERT_EQ(form.EngineeringMode, 1);
  SCOPED_TRACE("full layout");
  ExpectEveryCaptionWhole(view.Window());
  EXPECT_EQ(tk::WindowText(view.WindowOf(form.CBaudRate)), L"19200");
}

}  // namespace

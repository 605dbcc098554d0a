// The Windows window from the keyboard, as the system's dialogs behave: the
// focus starts on the first control the operator can use, Tab and Shift+Tab
// go through the controls in their order, Space and Return press the
// focused button, Escape closes an open list.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/application.h"
#include "view/win32/win32_event_loop.h"
#include "view/win32/win32_form_view.h"
#include "view/win32/win32_text.h"

namespace {

struct KeyForm : tk::TForm {
  tk::TPanel panel{this};
  tk::TLabel label{this};
  tk::TButton first{this};
  tk::TButton disabled{this};
  tk::TComboBox list{this};
  tk::TButton second{this};
  tk::TMemo display{this};
  std::vector<std::string> clicks;
  std::vector<std::string> picks;

  KeyForm() {
    SetClientSize(400, 300);
    SetKeyPreview(true);  // as the main window: the form sees keys first
    panel.SetBounds(0, 0, 400, 300);
    panel.SetParent(this);
    int top = 10;
    for (tk::TControl* c :
         std::vector<tk::TControl*>{&label, &first, &disabled, &list, &second, &display}) {
      c->SetBounds(10, top, 120, c == &display ? 60 : 24);
      c->SetParent(&panel);
      top += 30;
    }
    label.SetCaption("Steps:");
    first.SetCaption("First");
    disabled.SetCaption("Disabled");
    disabled.SetEnabled(false);
    second.SetCaption("Second");
    list.SetItems({"COM1", "COM2", "COM3"});
    list.SetItemIndex(0);
    display.SetReadOnly(true);
    display.SetVerticalScrollBar(true);
    display.AddLine("Program Ready");
    for (tk::TButton* b : {&first, &second})
      b->OnClick = [this](tk::TObject* sender) {
        clicks.push_back(static_cast<tk::TButton*>(sender)->Caption());
      };
    list.OnSelect = [this](tk::TObject*) { picks.push_back(list.Text()); };
  }
};

class Win32KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = std::make_unique<tk::Win32FormView>(form_);
    view_->Show();
    loop_.ProcessMessages();
  }
  void TearDown() override { SetShift(false); }

  bool Focused(const tk::TControl& control) const {
    HWND focus = GetFocus();
    HWND window = view_->WindowOf(control);
    return focus != nullptr && (focus == window || IsChild(window, focus));
  }
  // Shift as the thread's keyboard state has it, which the window reads.
  static void SetShift(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  }
  // A key as the keyboard delivers it: to the focused window, through the
  // message loop.
  void Press(WPARAM key) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
    loop_.ProcessMessages();
  }

  tk::Win32EventLoop loop_;
  KeyForm form_;
  std::unique_ptr<tk::Win32FormView> view_;
};

TEST_F(Win32KeyboardTest, FocusStartsOnTheFirstControlTheOperatorCanUse) {
  EXPECT_TRUE(Focused(form_.first));
  // Nothing of the display is selected: the focus never went there.
  DWORD start = 0, end = 0;
  SendMessageW(view_->WindowOf(form_.display), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(end - start, 0u);
}

TEST_F(Win32KeyboardTest, TabAndShiftTabGoThroughTheControlsInTheirOrder) {
  ASSERT_TRUE(Focused(form_.first));
  Press(VK_TAB);  // past the disabled button
  EXPECT_TRUE(Focused(form_.list));
  Press(VK_TAB);
  EXPECT_TRUE(Focused(form_.second));
  Press(VK_TAB);
  EXPECT_TRUE(Focused(form_.display));
  Press(VK_TAB);  // the display lets Tab go, and the order goes round
  EXPECT_TRUE(Focused(form_.first));
  SetShift(true);
  Press(VK_TAB);
  EXPECT_TRUE(Focused(form_.display));
  Press(VK_TAB);
  EXPECT_TRUE(Focused(form_.second));
  SetShift(false);
  // A focused button that is disabled hands the focus on, as Tab would.
  form_.second.SetEnabled(false);
  EXPECT_TRUE(Focused(form_.display));
  EXPECT_TRUE(form_.clicks.empty());
}

TEST_F(Win32KeyboardTest, SpaceAndReturnPressTheFocusedButton) {
  ASSERT_TRUE(Focused(form_.first));
  Press(VK_SPACE);
  Press(VK_RETURN);
  EXPECT_EQ(form_.clicks, (std::vector<std::string>{"First", "First"}));
  Press(VK_TAB);
  Press(VK_TAB);
  ASSERT_TRUE(Focused(form_.second));
  Press(VK_RETURN);
  EXPECT_EQ(form_.clicks.back(), "Second");
  // Return elsewhere presses nothing.
  Press(VK_TAB);
  ASSERT_TRUE(Focused(form_.display));
  Press(VK_RETURN);
  EXPECT_EQ(form_.clicks.size(), 3u);
}

TEST_F(Win32KeyboardTest, AnOpenListTakesTheKeysAndEscapeClosesIt) {
  HWND box = view_->WindowOf(form_.list);
  form_.list.SetDroppedDown(true);  // as Choose Comport opens the port list
  loop_.ProcessMessages();
  ASSERT_NE(SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0), 0);
  EXPECT_TRUE(Focused(form_.list));
  // The arrow keys move through the open list without picking.
  Press(VK_DOWN);
  EXPECT_TRUE(form_.picks.empty());
  Press(VK_ESCAPE);
  EXPECT_EQ(SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0), 0);
  EXPECT_FALSE(form_.list.DroppedDown());
  EXPECT_TRUE(form_.picks.empty());
  EXPECT_EQ(form_.list.ItemIndex(), 0);
  EXPECT_EQ(tk::WindowText(box), L"COM1");  // the box shows the control's entry again

  // Opened again, Return picks the marked entry.
  form_.list.SetDroppedDown(true);
  loop_.ProcessMessages();
  Press(VK_DOWN);
  Press(VK_RETURN);
  EXPECT_EQ(form_.picks, std::vector<std::string>{"COM2"});
  EXPECT_EQ(SendMessageW(box, CB_GETDROPPEDSTATE, 0, 0), 0);
}

}  // namespace

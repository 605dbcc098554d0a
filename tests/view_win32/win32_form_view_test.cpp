// The native view of the control model, under Wine as on Windows: the
// windows follow the controls, clicks and keys reach the handlers.
#include "view/win32/win32_form_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/application.h"
#include "view/win32/win32_event_loop.h"
#include "view/win32/win32_text.h"

namespace {

// A small window in the shape of the real one: two layouts, switched by F12.
struct TestForm : tk::TForm {
  tk::TPanel full{this};
  tk::TPanel guided{this};
  tk::TLabel label{this};
  tk::TButton button{this};
  tk::TEdit edit{this};
  tk::TComboBox combo{this};
  tk::TMemo memo{this};
  tk::TGauge gauge{this};
  int layout = 0;  // 0 guided, 1 full

  TestForm() {
    SetCaption("Test  V1.31");
    SetClientSize(601, 306);
    SetKeyPreview(true);
    full.SetBounds(8, 3, 313, 302);
    guided.SetBounds(328, 4, 265, 301);
    full.SetParent(this);
    guided.SetParent(this);
    label.SetBounds(10, 10, 20, 13);  // narrower than its caption
    label.SetCaption("Programmer Status:");
    label.SetParent(&guided);
    button.SetBounds(10, 40, 90, 25);
    button.SetCaption("Capture Target");
    button.SetParent(&guided);
    edit.SetBounds(10, 10, 200, 21);
    edit.SetParent(&full);
    combo.SetBounds(109, 40, 100, 21);
    combo.SetItems({"COM1", "COM2", "COM3"});
    combo.SetParent(&full);
    memo.SetBounds(5, 80, 255, 60);
    memo.SetFont({"Courier", 11, false});
    memo.SetVerticalScrollBar(true);
    memo.SetReadOnly(true);
    memo.SetParent(&guided);
    gauge.SetBounds(20, 150, 236, 20);
    gauge.SetParent(&guided);
    full.Hide();
    OnKeyDown = [this](tk::TObject*, uint16_t& key, tk::TShiftState) {
      if (key != 123) return;  // F12 switches the layout
      layout = 1 - layout;
      full.SetVisible(layout == 1);
    };
  }
};

class Win32FormViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tk::Application::Instance().SetExceptionHandler([this](std::exception_ptr e, tk::TObject*) {
      reported_.push_back(tk::ExceptionMessage(e));
    });
    view_ = std::make_unique<tk::Win32FormView>(form_);
    view_->Show();
  }
  void TearDown() override {
    view_.reset();
    tk::Application::Instance().SetExceptionHandler(nullptr);
  }

  HWND Of(const tk::TControl& control) const { return view_->WindowOf(control); }
  static std::wstring Text(HWND window) { return tk::WindowText(window); }
  static RECT Bounds(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  // A key as the keyboard delivers it: posted to the focused window, then
  // taken by the message loop.
  void PressKey(HWND focused, WPARAM key) {
    PostMessageW(focused, WM_KEYDOWN, key, 1);
    loop_.ProcessMessages();
  }

  tk::Win32EventLoop loop_;
  TestForm form_;
  std::unique_ptr<tk::Win32FormView> view_;
  std::vector<std::string> reported_;
};

TEST_F(Win32FormViewTest, WindowHasTheFormsClientSizeCaptionAndFixedSingleBorder) {
  HWND window = view_->Window();
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(Text(window), L"Test  V1.31");
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 601);
  EXPECT_EQ(client.bottom, 306);
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

  form_.SetClientSize(400, 200);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 400);
  EXPECT_EQ(client.bottom, 200);
}

TEST_F(Win32FormViewTest, ControlsFollowTheModel) {
  HWND button = Of(form_.button);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(GetParent(button), Of(form_.guided));
  EXPECT_EQ(Text(button), L"Capture Target");
  RECT r = Bounds(button);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, 90);

  form_.button.SetBounds(20, 50, 100, 30);
  form_.button.SetCaption("Stop Capture");
  form_.button.SetEnabled(false);
  r = Bounds(button);
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.bottom - r.top, 30);
  EXPECT_EQ(Text(button), L"Stop Capture");
  EXPECT_FALSE(IsWindowEnabled(button));
  form_.guided.Hide();  // hiding a panel hides what is in it
  EXPECT_FALSE(IsWindowVisible(button));
  form_.guided.Show();
  EXPECT_TRUE(IsWindowVisible(button));

  // A label is never narrower than its caption...
  EXPECT_GT(Bounds(Of(form_.label)).right - Bounds(Of(form_.label)).left, 20);
  // ...nor does it run into the control beside it: its font steps down.
  tk::TLabel beside(&form_);
  beside.SetBounds(60, 42, 40, 13);
  beside.SetParent(&form_.full);
  beside.SetCaption("A caption far too long for its place:");
  view_->BindNewControls();
  EXPECT_LE(Bounds(Of(beside)).right, Bounds(Of(form_.combo)).left);
  form_.combo.SetLeft(400);  // room again: the caption shows whole
  EXPECT_GT(Bounds(Of(beside)).right, 200);

  // The gauge moves and the edit shows its text.
  form_.gauge.SetMaxValue(200);
  form_.gauge.SetProgress(50);
  EXPECT_EQ(SendMessageW(Of(form_.gauge), PBM_GETPOS, 0, 0) * 4,
            SendMessageW(Of(form_.gauge), PBM_GETRANGE, FALSE, 0));
  EXPECT_EQ(Text(Of(form_.gauge)), L"25%");
  form_.edit.SetText("C:\\images\\unit.cry");
  EXPECT_EQ(Text(Of(form_.edit)), L"C:\\images\\unit.cry");

  // The combo box: entries, selection and text.
  HWND combo = Of(form_.combo);
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  form_.combo.SetItemIndex(1);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Text(combo), L"COM2");
  form_.combo.Clear();
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(Text(combo), L"");
}

// What a text stands on, as its container answers WM_CTLCOLORSTATIC: the
// brush's colour and the text's background colour.
struct Backdrop {
  COLORREF brush;
  COLORREF text_background;
};
Backdrop BackdropOf(HWND text) {
  HDC dc = GetDC(text);
  const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(text), WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(text)));
  LOGBRUSH shape{};
  GetObjectW(brush, sizeof shape, &shape);
  const Backdrop backdrop{shape.lbColor, GetBkColor(dc)};
  ReleaseDC(text, dc);
  return backdrop;
}

TEST_F(Win32FormViewTest, ATextOnAColouredPanelStandsOnThePanelsColour) {
  HWND label = Of(form_.label);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(BackdropOf(label).brush, face);
  EXPECT_EQ(BackdropOf(label).text_background, face);

  form_.guided.SetColor(tk::RgbColor(0xFF, 0xF3, 0xC4));
  EXPECT_EQ(BackdropOf(label).brush, RGB(0xFF, 0xF3, 0xC4));
  EXPECT_EQ(BackdropOf(label).text_background, RGB(0xFF, 0xF3, 0xC4));
  form_.guided.SetColor(tk::RgbColor(0x20, 0x80, 0x20));  // another colour, another brush
  EXPECT_EQ(BackdropOf(label).brush, RGB(0x20, 0x80, 0x20));

  // Back to the face; a field keeps its own background on a coloured panel.
  form_.guided.SetColor(tk::clBtnFace);
  EXPECT_EQ(BackdropOf(label).brush, face);
  form_.full.SetColor(tk::RgbColor(0xFF, 0xF3, 0xC4));
  HDC dc = GetDC(Of(form_.edit));
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(Of(form_.full), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(Of(form_.edit))));
  EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(brush, GetSysColorBrush(COLOR_WINDOW));
  ReleaseDC(Of(form_.edit), dc);
}

TEST_F(Win32FormViewTest, DisplayFollowsLinesWithinItsCap) {
  HWND memo = Of(form_.memo);
  EXPECT_TRUE(GetWindowLongPtrW(memo, GWL_STYLE) & ES_READONLY);
  form_.memo.AddLine("Program Ready");
  form_.memo.AddLine("12:00:01 !0001\r\n");  // a received line keeps its own end
  EXPECT_EQ(Text(memo), L"Program Ready\r\n12:00:01 !0001");

  // Over 100 lines, the oldest goes before a new one comes.
  form_.memo.ClearLines();
  for (int i = 0; i < 150; ++i) {
    if (form_.memo.LineCount() > 100) form_.memo.DeleteFirstLine();
    form_.memo.AddLine("line " + std::to_string(i));
  }
  const std::wstring text = Text(memo);
  EXPECT_EQ(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), 101);
  EXPECT_EQ(text.substr(0, 9), L"line 49\r\n");
  EXPECT_EQ(text.substr(text.size() - 10), L"\r\nline 149");
  // The newest line is in view.
  EXPECT_GT(SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0), 90);
}

TEST_F(Win32FormViewTest, ClicksPicksAndTypedTextReachTheModel) {
  int clicks = 0;
  form_.button.OnClick = [&](tk::TObject* sender) {
    EXPECT_EQ(sender, &form_.button);
    ++clicks;
  };
  SendMessageW(Of(form_.button), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  form_.button.SetEnabled(false);  // a disabled button takes no click
  SendMessageW(Of(form_.button), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  form_.button.SetEnabled(true);
  form_.button.OnClick = [](tk::TObject*) { throw std::runtime_error("handler failed"); };
  SendMessageW(Of(form_.button), BM_CLICK, 0, 0);
  EXPECT_EQ(reported_, std::vector<std::string>{"handler failed"});

  // The operator picks the third port: the list tells its parent.
  std::vector<std::string> picked;
  form_.combo.OnSelect = [&](tk::TObject*) { picked.push_back(form_.combo.Text()); };
  HWND combo = Of(form_.combo);
  SendMessageW(combo, CB_SETCURSEL, 2, 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  EXPECT_EQ(picked, std::vector<std::string>{"COM3"});
  EXPECT_EQ(form_.combo.ItemIndex(), 2);

  // Typed text is the edit's text; text the model sets is no typing.
  int typed = 0;
  form_.edit.AddObserver(
      [&](tk::TControl&, tk::Change change) { typed += change == tk::Change::Text; });
  SetWindowTextW(Of(form_.edit), L"x.cry");
  EXPECT_EQ(form_.edit.Text(), "x.cry");
  EXPECT_EQ(typed, 1);
}

TEST_F(Win32FormViewTest, F12ReachesTheFormBeforeTheFocusedControlAndSwitchesTheLayout) {
  std::vector<uint16_t> keys;
  auto layout_keys = form_.OnKeyDown;
  form_.OnKeyDown = [&](tk::TObject* sender, uint16_t& key, tk::TShiftState shift) {
    keys.push_back(key);
    layout_keys(sender, key, shift);
    if (key == 'Q') key = 0;  // taken by the form: the control never sees it
  };
  form_.full.Show();
  form_.layout = 1;
  HWND edit = Of(form_.edit);
  SetFocus(edit);
  PressKey(edit, VK_F12);
  EXPECT_EQ(form_.layout, 0);
  EXPECT_FALSE(IsWindowVisible(edit));
  PressKey(view_->Window(), VK_F12);
  EXPECT_EQ(form_.layout, 1);
  EXPECT_TRUE(IsWindowVisible(edit));

  // A key the form takes never reaches the control; others do.
  std::vector<UINT> seen;
  SetWindowSubclass(
      edit,
      [](HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) -> LRESULT {
        if (m == WM_KEYDOWN) reinterpret_cast<std::vector<UINT>*>(data)->push_back(UINT(wp));
        return DefSubclassProc(w, m, wp, lp);
      },
      7, reinterpret_cast<DWORD_PTR>(&seen));
  PressKey(edit, 'Q');
  PressKey(edit, 'W');
  EXPECT_EQ(keys, (std::vector<uint16_t>{123, 123, 'Q', 'W'}));
  EXPECT_EQ(seen, std::vector<UINT>{'W'});

  form_.SetKeyPreview(false);
  PressKey(edit, VK_F12);
  EXPECT_EQ(keys.size(), 4u);
  EXPECT_EQ(form_.layout, 1);
}

TEST_F(Win32FormViewTest, ClosingTheWindowClosesTheFormAndAControlMayFreeItself) {
  auto extra = std::make_unique<tk::TButton>(&form_);
  extra->SetBounds(10, 120, 80, 25);
  extra->SetParent(&form_.guided);
  view_->BindNewControls();
  HWND window = Of(*extra);
  ASSERT_NE(window, nullptr);
  extra->OnClick = [&](tk::TObject*) { extra.reset(); };
  SendMessageW(window, BM_CLICK, 0, 0);
  EXPECT_EQ(extra, nullptr);
  loop_.ProcessMessages();  // its window goes once the click is over
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(reported_.empty());

  int closes = 0;
  form_.OnClose = [&](tk::TObject*) { ++closes; };
  SendMessageW(view_->Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(form_.Closed());
  EXPECT_FALSE(IsWindowVisible(view_->Window()));
}

}  // namespace

// The view core with a toolkit that only records: the walk over the form's
// controls, their natives following the model, controls freed and made
// later, captions refitted as their neighbours move, and the keyboard focus
// in the order of the controls.
#include "view/core/form_view_core.h"

#include <gtest/gtest.h>

#include <memory>

#include "view/core/focus_order.h"
#include "view_core/fake_toolkit.h"

namespace {

struct TestForm : tk::TForm {
  tk::TPanel top{this};
  tk::TLabel caption{this};
  tk::TComboBox speeds{this};
  tk::TPanel steps{this};
  tk::TButton first{this};
  tk::TEdit path{this};
  tk::TButton second{this};
  tk::TMemo status{this};
  tk::TGauge gauge{this};

  TestForm() {
    SetClientSize(400, 300);
    top.SetBounds(0, 0, 400, 40);
    top.SetParent(this);
    caption.SetBounds(10, 9, 40, 13);
    caption.SetCaption("Baud Rate:");  // 10 characters: 65 pixels at 13
    caption.SetParent(&top);
    speeds.SetBounds(60, 5, 60, 21);
    speeds.SetItems({"115200", "9600"});
    speeds.SetParent(&top);
    steps.SetBounds(0, 50, 400, 200);
    steps.SetParent(this);
    first.SetBounds(10, 10, 100, 25);
    first.SetParent(&steps);
    path.SetBounds(10, 40, 200, 21);
    path.SetParent(&steps);
    second.SetBounds(10, 70, 100, 25);
    second.SetParent(&steps);
    status.SetBounds(0, 260, 400, 40);
    status.SetParent(this);
    gauge.SetBounds(10, 100, 200, 18);  // owned, but without a parent yet
  }
};

class FormViewCoreTest : public ::testing::Test {
 protected:
  TestForm form_;
  fake::RecordingView view_{form_};
};

TEST_F(FormViewCoreTest, EveryControlGetsANativeOfItsKindInItsParentsNative) {
  EXPECT_NE(dynamic_cast<fake::Label*>(view_.Core().BindingOf(form_.caption)), nullptr);
  EXPECT_NE(dynamic_cast<fake::Combo*>(view_.Core().BindingOf(form_.speeds)), nullptr);
  EXPECT_NE(dynamic_cast<fake::Memo*>(view_.Core().BindingOf(form_.status)), nullptr);
  EXPECT_EQ(view_.Of(form_.first).container, &view_.Of(form_.steps));
  EXPECT_EQ(view_.Of(form_.steps).container, &view_.Of(form_));
  EXPECT_TRUE(view_.Of(form_).visible);
  EXPECT_FALSE(view_.Of(form_.gauge).in_sight);  // no parent: out of sight

  form_.gauge.SetParent(&form_.steps);
  EXPECT_EQ(view_.Of(form_.gauge).container, &view_.Of(form_.steps));
  EXPECT_TRUE(view_.Of(form_.gauge).visible);
  form_.first.SetBounds(20, 15, 90, 30);
  EXPECT_EQ(view_.Of(form_.first).bounds.left, 20);
  EXPECT_EQ(view_.Of(form_.first).bounds.height, 30);
  // A panel placed inside its own child cannot be shown.
  form_.steps.SetParent(&form_.top);
  form_.top.SetParent(&form_.steps);
  EXPECT_EQ(view_.Of(form_.top).container, nullptr);
}

TEST_F(FormViewCoreTest, ControlsMadeLaterAndControlsFreedComeAndGo) {
  auto panel = std::make_unique<tk::TPanel>(&form_);
  auto button = std::make_unique<tk::TButton>(&form_);
  panel->SetParent(&form_.steps);
  button->SetParent(panel.get());
  EXPECT_EQ(view_.Core().BindingOf(*button), nullptr);  // not announced by the model
  view_.BindNewControls();
  fake::Native& native = view_.Of(*button);
  EXPECT_EQ(native.container, &view_.Of(*panel));

  // The panel goes first: its child's native is taken out of sight with it.
  panel.reset();
  EXPECT_EQ(view_.retired.size(), 1u);
  EXPECT_FALSE(native.in_sight);
  EXPECT_FALSE(native.visible);
  button->SetParent(&form_.steps);
  EXPECT_TRUE(native.in_sight);
  EXPECT_TRUE(native.visible);
  button.reset();
  EXPECT_EQ(view_.retired.size(), 2u);
  // A retired binding no longer follows anything.
  form_.first.SetCaption("still followed");
  EXPECT_EQ(view_.retired.back()->Attached(), false);
}

TEST_F(FormViewCoreTest, ACaptionFitsAgainWhenItsNeighbourMovesOrHides) {
  // Room 60 - 3 - 10 = 47: "Baud Rate:" takes 65 at 13, fits at no size,
  // so it stops at 10 (three quarters) and its box ends at the list.
  EXPECT_EQ(view_.Of(form_.caption).font.height, 10);
  EXPECT_EQ(view_.Of(form_.caption).bounds.width, 47);
  form_.speeds.SetLeft(70);  // room 57: fits at 11 (55 pixels)
  EXPECT_EQ(view_.Of(form_.caption).font.height, 11);
  EXPECT_EQ(view_.Of(form_.caption).bounds.width, 55);
  form_.speeds.Hide();  // room to the panel's edge: full size
  EXPECT_EQ(view_.Of(form_.caption).font.height, 13);
  EXPECT_EQ(view_.Of(form_.caption).bounds.width, 65);
  form_.speeds.Show();
  form_.top.SetWidth(70);  // hidden or not, the panel's edge is a limit too
  form_.speeds.Hide();
  EXPECT_EQ(view_.Of(form_.caption).font.height, 11);

  // A button's caption and a list's longest entry fit their controls.
  form_.first.SetCaption("Connect/Program device");  // 22 characters
  EXPECT_EQ(view_.Of(form_.first).font.height, 10);  // room 92: 110 at 10, still too wide
  form_.first.SetWidth(160);                         // room 152: 143 at 13
  EXPECT_EQ(view_.Of(form_.first).font.height, 13);
  EXPECT_EQ(view_.Of(form_.speeds).font.height, 13);  // "115200" 39 in room 40
  form_.speeds.AddItem("1000000");
  EXPECT_EQ(view_.Of(form_.speeds).font.height, 11);
}

TEST_F(FormViewCoreTest, FocusGoesInTheOrderOfTheControlsToThoseTheOperatorCanReach) {
  auto next = [this](const tk::TControl* from, bool forward = true) {
    tk::ControlBinding* binding = view_.Core().NextFocus(from, forward);
    return binding == nullptr ? nullptr : &binding->Control();
  };
  // Labels, panels and gauges never take it; children come after their panel.
  EXPECT_EQ(next(nullptr), &form_.speeds);
  EXPECT_EQ(next(&form_.speeds), &form_.first);
  EXPECT_EQ(next(&form_.first), &form_.path);
  EXPECT_EQ(next(&form_.status), &form_.speeds);  // around the end
  EXPECT_EQ(next(&form_.speeds, false), &form_.status);
  EXPECT_EQ(next(nullptr, false), &form_.status);
  form_.path.SetEnabled(false);
  EXPECT_EQ(next(&form_.first), &form_.second);
  form_.steps.SetEnabled(false);  // a disabled panel: nothing in it is reachable
  EXPECT_EQ(next(&form_.speeds), &form_.status);
  form_.steps.SetEnabled(true);
  form_.top.Hide();
  EXPECT_EQ(next(nullptr), &form_.first);
  // A control moved into another parent takes its place there.
  form_.speeds.SetParent(&form_.steps);
  form_.top.Show();
  EXPECT_EQ(next(&form_.second), &form_.speeds);
}

TEST_F(FormViewCoreTest, FocusOnAControlThatIsHiddenOrDisabledGoesOnToTheNext) {
  view_.Core().MoveFocus(&form_.speeds, true);
  EXPECT_EQ(view_.focus, &view_.Of(form_.first));
  form_.first.SetEnabled(false);
  EXPECT_EQ(view_.focus, &view_.Of(form_.path));
  form_.steps.Hide();  // the panel it is in
  EXPECT_EQ(view_.focus, &view_.Of(form_.status));
  // Without the focus, hiding a control leaves the focus where it is.
  form_.speeds.Hide();
  EXPECT_EQ(view_.focus, &view_.Of(form_.status));
  // No control left to take it: nobody has it.
  form_.status.SetEnabled(false);
  EXPECT_EQ(view_.focus, nullptr);
  EXPECT_EQ(view_.Core().FocusedBinding(), nullptr);
}

TEST_F(FormViewCoreTest, TheDisplayFollowsItsLinesOneByOneAndReloadsWhenOutOfStep) {
  auto& memo = dynamic_cast<fake::Memo&>(*view_.Core().BindingOf(form_.status));
  const int reloads = memo.reloads;
  form_.status.AddLine("a");
  form_.status.AddLine("b");
  form_.status.DeleteFirstLine();
  form_.status.AddLine("c");
  EXPECT_EQ(memo.shown, (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(memo.reloads, reloads);
  form_.status.ClearLines();
  EXPECT_TRUE(memo.shown.empty());
  EXPECT_EQ(memo.reloads, reloads + 1);
}

}  // namespace

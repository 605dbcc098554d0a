// The control model: observable changes, combo box, memo, gauge, form, dialog.
#include "toolkit/controls.h"

#include <gtest/gtest.h>

#include <vector>

#include "toolkit/application.h"
#include "toolkit/headless_event_loop.h"

namespace tk {
namespace {

// Records every change a view would be told of.
struct ChangeLog {
  std::vector<Change> changes;
  void Watch(TControl& c) {
    c.AddObserver([this](TControl&, Change change) { changes.push_back(change); });
  }
};

TEST(Controls, EveryPropertyChangeIsObservedOnceAndNonChangesAreNot) {
  TButton b;
  ChangeLog log;
  log.Watch(b);
  b.SetBounds(1, 2, 3, 4);
  b.SetLeft(1);  // same value
  b.SetTop(9);
  b.SetEnabled(false);
  b.SetEnabled(false);
  b.Hide();
  b.SetCaption("Program PIC");
  b.SetFont(TFont{"Courier", 11, false});
  TPanel panel;
  b.SetParent(&panel);
  EXPECT_EQ(log.changes,
            (std::vector<Change>{Change::Geometry, Change::Geometry, Change::Enabled,
                                 Change::Visible, Change::Caption, Change::Font, Change::Parent}));
  EXPECT_EQ(b.Left(), 1);
  EXPECT_EQ(b.Top(), 9);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 4);
}

TEST(Controls, ObserversCanBeRemoved) {
  TLabel l;
  int told = 0;
  const size_t id = l.AddObserver([&](TControl&, Change) { ++told; });
  l.SetCaption("a");
  l.RemoveObserver(id);
  l.SetCaption("b");
  EXPECT_EQ(told, 1);
}

TEST(Controls, ParentsChildrenAndShowing) {
  TPanel outer, inner;
  TButton b;
  inner.SetParent(&outer);
  b.SetParent(&inner);
  EXPECT_EQ(outer.Children(), (std::vector<TControl*>{&inner}));
  EXPECT_TRUE(b.Showing());
  outer.Hide();
  EXPECT_TRUE(b.Visible());
  EXPECT_FALSE(b.Showing());
  b.SetParent(&outer);  // moved, as a layout switch moves the gauge
  EXPECT_TRUE(inner.Children().empty());
  EXPECT_EQ(outer.Children().size(), 2u);
  // Parent and child may go in either order: neither is left pointing at
  // the other.
  {
    TPanel parent;
    {
      TLabel child;
      child.SetParent(&parent);
      EXPECT_EQ(parent.Children().size(), 1u);
    }
    EXPECT_TRUE(parent.Children().empty());
  }
  TLabel orphan;
  {
    TPanel parent;
    orphan.SetParent(&parent);
  }
  EXPECT_EQ(orphan.Parent(), nullptr);
}

TEST(Controls, ClickRunsTheHandlerEvenWhenDisabled) {
  TButton b;
  int clicks = 0;
  b.OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, &b);
    ++clicks;
  };
  b.SetEnabled(false);
  b.Hide();
  b.Click();
  EXPECT_EQ(clicks, 1);
}

TEST(ComboBox, ItemIndexSetsTextClearEmptiesBoth) {
  TComboBox box;
  ChangeLog log;
  log.Watch(box);
  box.SetItems({"/dev/ttyS0", "/dev/ttyUSB0"});
  box.SetItemIndex(1);
  EXPECT_EQ(box.Text(), "/dev/ttyUSB0");
  box.SetItemIndex(5);  // no such entry: nothing selected
  EXPECT_EQ(box.ItemIndex(), -1);
  EXPECT_EQ(box.Text(), "");
  box.SetItemIndex(0);
  box.Clear();
  EXPECT_TRUE(box.Items().empty());
  EXPECT_EQ(box.Text(), "");
  EXPECT_EQ(box.ItemIndex(), -1);
  box.SetItemIndex(0);  // on an empty list selects nothing
  EXPECT_EQ(box.ItemIndex(), -1);
  EXPECT_NE(std::find(log.changes.begin(), log.changes.end(), Change::Items), log.changes.end());
  EXPECT_NE(std::find(log.changes.begin(), log.changes.end(), Change::Text), log.changes.end());
}

TEST(ComboBox, PickSetsSelectionThenRunsOnSelect) {
  TComboBox box;
  box.SetItems({"115200", "57600"});
  box.SetDroppedDown(true);
  int selects = 0;
  box.OnSelect = [&](TObject*) {
    ++selects;
    EXPECT_EQ(box.ItemIndex(), 1);
    EXPECT_EQ(box.Text(), "57600");
  };
  box.Pick(1);
  EXPECT_EQ(selects, 1);
  EXPECT_FALSE(box.DroppedDown());
  box.Pick(7);  // nothing there to pick
  EXPECT_EQ(selects, 1);
  EXPECT_EQ(box.ItemIndex(), 1);
}

TEST(Memo, LinesWithTheirThreeChangeKinds) {
  TMemo memo;
  ChangeLog log;
  log.Watch(memo);
  memo.AddLine("Program Ready");
  memo.AddLine("Device in Loader Mode");
  memo.DeleteFirstLine();
  EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"Device in Loader Mode"}));
  memo.ClearLines();
  memo.DeleteFirstLine();  // empty: nothing to tell
  memo.ClearLines();
  EXPECT_EQ(memo.LineCount(), 0);
  EXPECT_EQ(log.changes, (std::vector<Change>{Change::LineAdded, Change::LineAdded,
                                              Change::FirstLineRemoved, Change::LinesCleared}));
}

TEST(Gauge, ProgressIsClampedAndPercentFollows) {
  TGauge g;
  g.SetProgress(150);
  EXPECT_EQ(g.Progress(), 100);
  g.SetProgress(-5);
  EXPECT_EQ(g.Progress(), 0);
  g.SetMaxValue(400);
  g.SetProgress(100);
  EXPECT_EQ(g.PercentDone(), 25);
  g.SetMaxValue(50);  // shrinking the range pulls the progress in
  EXPECT_EQ(g.Progress(), 50);
  EXPECT_EQ(g.PercentDone(), 100);
  g.SetMinValue(80);  // the range never turns inside out
  EXPECT_EQ(g.MaxValue(), 80);
  EXPECT_EQ(g.Progress(), 80);
  EXPECT_EQ(g.PercentDone(), 0);  // empty range
}

TEST(Form, OuterWidthAddsTheBorderOnBothSides) {
  TForm f;
  f.SetClientSize(601, 306);
  EXPECT_EQ(f.ClientWidth(), 601);
  EXPECT_EQ(f.OuterWidth(), 607);
  f.SetBorderStyle(TBorderStyle::bsSizeable);
  EXPECT_GT(f.OuterWidth(), 607);
}

TEST(Form, KeyPreviewGatesOnKeyDown) {
  TForm f;
  int seen = 0;
  f.OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) {
    ++seen;
    EXPECT_EQ(key, VK_F12);
  };
  uint16_t key = VK_F12;
  f.KeyDown(key, 0);
  EXPECT_EQ(seen, 0);
  f.SetKeyPreview(true);
  f.KeyDown(key, 4);
  EXPECT_EQ(seen, 1);
}

TEST(Form, CloseRunsOnCloseAndEndsTheMainLoop) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  TForm f;
  int closes = 0;
  f.OnClose = [&](TObject*) { ++closes; };
  loop.AddTimer(100, [&] { f.Close(); });
  loop.Run();  // returns only because Close quit it
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(f.Closed());
  EXPECT_EQ(loop.NowMs(), 100);
  f.Close();
  EXPECT_EQ(closes, 1);
}

TEST(Form, CloseQueryThatSaysNoKeepsTheFormOpenAndItsLoopRunning) {
  HeadlessEventLoop loop(HeadlessEventLoop::Clock::Virtual);
  TForm f;
  int closes = 0;
  bool may_close = false;
  f.OnClose = [&](TObject*) { ++closes; };
  f.OnCloseQuery = [&] { return may_close; };
  loop.AddTimer(100, [&] {
    f.Close();
    if (!f.Closed()) may_close = true;
  });
  loop.Run();  // the first Close is refused; the second one ends the loop
  EXPECT_EQ(loop.NowMs(), 200);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(f.Closed());
}

TEST(Form, ResizedByTheOperatorSetsTheClientSizeAndTellsOnce) {
  TForm f;
  f.SetClientSize(400, 300);
  ChangeLog log;
  log.Watch(f);
  int resizes = 0;
  f.OnResize = [&](TObject*) { ++resizes; };
  f.Resized(400, 300);
  EXPECT_EQ(resizes, 0);
  f.Resized(800, 600);
  EXPECT_EQ(f.ClientWidth(), 800);
  EXPECT_EQ(f.ClientHeight(), 600);
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(log.changes, std::vector<Change>{Change::Geometry});
}

TEST(Application, AskYesNoIsNoWithoutADialogService) {
  Application::Instance().SetDialogService(nullptr);
  EXPECT_FALSE(Application::Instance().AskYesNo("Stop every slot?"));
}

TEST(OpenDialog, AsksTheDialogServiceAndIsCancelledWithoutOne) {
  TOpenDialog dialog;
  dialog.Filter = "*.cry|*.cry";
  EXPECT_FALSE(dialog.Execute());

  class Chooser : public DialogService {
   public:
    void ShowMessage(const std::string&) override {}
    bool ExecuteOpenDialog(TOpenDialog& d) override {
      filter = d.Filter;
      d.FileName = "/tmp/image.cry";
      return true;
    }
    std::string filter;
  } chooser;
  Application::Instance().SetDialogService(&chooser);
  const bool chosen = dialog.Execute();
  Application::Instance().SetDialogService(nullptr);
  EXPECT_TRUE(chosen);
  EXPECT_EQ(dialog.FileName, "/tmp/image.cry");
  EXPECT_EQ(chooser.filter, "*.cry|*.cry");
}

}  // namespace
}  // namespace tk

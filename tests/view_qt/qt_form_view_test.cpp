#include "view/qt/qt_form_view.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/application.h"
#include "view/qt/qt_event_loop.h"
#include "view_qt/qt_test_app.h"

namespace {

using qt_test::PumpUntil;

// A small window in the shape of the real one: controls on the form and in panels.
struct TestForm : tk::TForm {
  tk::TPanel left{this};
  tk::TPanel right{this};
  tk::TLabel label{this};
  tk::TButton button{this};
  tk::TEdit edit{this};
  tk::TComboBox combo{this};
  tk::TMemo memo{this};
  tk::TGauge gauge{this};

  TestForm() {
    SetCaption("Test  Form");
    SetClientSize(601, 306);
    SetKeyPreview(true);
    left.SetBounds(8, 3, 313, 302);
    right.SetBounds(328, 4, 265, 301);
    left.SetParent(this);
    right.SetParent(this);
    label.SetBounds(10, 10, 120, 16);
    label.SetCaption("Programmer Status:");
    label.SetParent(&right);
    button.SetBounds(10, 40, 90, 25);
    button.SetCaption("Capture Target");
    button.SetParent(&right);
    edit.SetBounds(10, 10, 200, 21);
    edit.SetParent(&left);
    combo.SetBounds(109, 5, 100, 21);
    combo.SetItems({"COM1", "COM2", "COM3"});
    combo.SetParent(&left);
    memo.SetBounds(5, 80, 255, 60);
    memo.SetFont({"Courier", 11, false});
    memo.SetVerticalScrollBar(true);
    memo.SetReadOnly(true);
    memo.SetParent(&right);
    gauge.SetBounds(20, 138, 236, 20);
    gauge.SetParent(&left);
  }
};

class QtFormViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tk::Application::Instance().SetExceptionHandler([this](std::exception_ptr e, tk::TObject*) {
      reported_.push_back(tk::ExceptionMessage(e));
    });
    view_ = std::make_unique<tk::QtFormView>(form_);
    view_->Show();
  }
  void TearDown() override {
    view_.reset();
    tk::Application::Instance().SetExceptionHandler(nullptr);
  }

  template <class W>
  W* WidgetOf(const tk::TControl& control) {
    auto* widget = dynamic_cast<W*>(view_->WidgetOf(control));
    EXPECT_NE(widget, nullptr) << control.ClassName();
    return widget;
  }

  tk::QtEventLoop loop_;
  TestForm form_;
  std::unique_ptr<tk::QtFormView> view_;
  std::vector<std::string> reported_;
};

TEST_F(QtFormViewTest, WindowIsFixedSizeWithCloseButtonOnly) {
  QWidget& window = view_->Window();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), QString("Test  Form"));
  EXPECT_EQ(window.size(), QSize(601, 306));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

  form_.SetClientSize(400, 200);
  EXPECT_EQ(window.size(), QSize(400, 200));
  form_.SetCaption("Renamed");
  EXPECT_EQ(window.windowTitle(), QString("Renamed"));
}

TEST_F(QtFormViewTest, WidgetsSitInTheirParentsAndFollowChanges) {
  auto* button = WidgetOf<QPushButton>(form_.button);
  auto* label = WidgetOf<QLabel>(form_.label);
  ASSERT_TRUE(button && label);
  EXPECT_EQ(button->parentWidget(), view_->WidgetOf(form_.right));
  EXPECT_EQ(view_->WidgetOf(form_.right)->parentWidget(), &view_->Window());
  EXPECT_EQ(button->geometry(), QRect(10, 40, 90, 25));
  EXPECT_EQ(button->text(), QString("Capture Target"));
  EXPECT_EQ(label->text(), QString("Programmer Status:"));

  form_.button.SetBounds(20, 50, 100, 30);
  form_.button.SetCaption("Stop Capture");
  form_.button.SetEnabled(false);
  EXPECT_EQ(button->geometry(), QRect(20, 50, 100, 30));
  EXPECT_EQ(button->text(), QString("Stop Capture"));
  EXPECT_FALSE(button->isEnabled());

  form_.button.Hide();
  EXPECT_FALSE(button->isVisible());
  form_.button.Show();
  EXPECT_TRUE(button->isVisible());
  form_.right.Hide();  // hiding a panel hides what is in it
  EXPECT_FALSE(button->isVisible());
  EXPECT_FALSE(button->isHidden());
  form_.right.Show();
  EXPECT_TRUE(button->isVisible());
}

TEST_F(QtFormViewTest, ReparentingMovesTheWidgetAndKeepsItShown) {
  auto* gauge = WidgetOf<QProgressBar>(form_.gauge);
  ASSERT_TRUE(gauge);
  EXPECT_EQ(gauge->parentWidget(), view_->WidgetOf(form_.left));
  form_.gauge.SetParent(&form_.right);
  form_.gauge.SetBounds(8, 182, 249, 20);
  EXPECT_EQ(gauge->parentWidget(), view_->WidgetOf(form_.right));
  EXPECT_EQ(gauge->geometry(), QRect(8, 182, 249, 20));
  EXPECT_TRUE(gauge->isVisible());
  form_.left.Hide();  // the old parent no longer matters
  EXPECT_TRUE(gauge->isVisible());

  form_.combo.SetParent(&form_);  // onto the window itself
  EXPECT_EQ(view_->WidgetOf(form_.combo)->parentWidget(), &view_->Window());
  EXPECT_TRUE(view_->WidgetOf(form_.combo)->isVisible());
  form_.combo.SetParent(nullptr);  // no parent: not shown
  EXPECT_FALSE(view_->WidgetOf(form_.combo)->isVisible());
}

TEST_F(QtFormViewTest, FontsKeepTheirPixelHeights) {
  form_.label.SetFont({"MS Sans Serif", 16, true});
  const QFont label = view_->WidgetOf(form_.label)->font();
  EXPECT_EQ(label.pixelSize(), 16);
  EXPECT_TRUE(label.bold());
  EXPECT_FALSE(QFontInfo(label).fixedPitch());

  const QFont memo = view_->WidgetOf(form_.memo)->font();
  EXPECT_EQ(memo.pixelSize(), 11);
  EXPECT_TRUE(QFontInfo(memo).fixedPitch()) << QFontInfo(memo).family().toStdString();
  EXPECT_EQ(view_->WidgetOf(form_.button)->font().pixelSize(), 13);
}

// A result line in its colour, wrapped within its width instead of running
// past the panel's edge.
TEST_F(QtFormViewTest, LabelsShowTheirFontsColourAndWrapWithinTheirWidth) {
  auto* label = WidgetOf<QLabel>(form_.label);
  ASSERT_TRUE(label);
  const QColor system = label->palette().color(QPalette::WindowText);
  tk::TFont font = form_.label.Font();
  font.color = 0x0000C0;  // 0x00BBGGRR: a red
  form_.label.SetFont(font);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
  font.color = tk::clWindowText;
  form_.label.SetFont(font);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), system);

  form_.label.SetWordWrap(true);
  form_.label.SetCaption(
      "NOT programmed: no answer to a data record — switch the unit off and start again");
  EXPECT_TRUE(label->wordWrap());
  EXPECT_EQ(label->width(), form_.label.Width());
  EXPECT_GT(label->height(), form_.label.Height()) << "two lines or more";
}

TEST_F(QtFormViewTest, MemoFollowsLinesAndKeepsTheNewestInView) {
  auto* memo = WidgetOf<QPlainTextEdit>(form_.memo);
  ASSERT_TRUE(memo);
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  form_.memo.AddLine("");  // an empty first line is a line too
  form_.memo.AddLine("Program Ready");
  form_.memo.AddLine("12:00:01 !0001\r\n");  // a received line keeps its own paragraph
  EXPECT_EQ(memo->document()->blockCount(), 3);
  EXPECT_EQ(memo->document()->findBlockByNumber(1).text(), QString("Program Ready"));

  // The cap of the displays: over 100 lines, the oldest goes before a new one comes.
  form_.memo.ClearLines();
  EXPECT_TRUE(memo->toPlainText().isEmpty());
  for (int i = 0; i < 150; ++i) {
    if (form_.memo.LineCount() > 100) form_.memo.DeleteFirstLine();
    form_.memo.AddLine("line " + std::to_string(i));
  }
  const QTextDocument* doc = memo->document();
  ASSERT_EQ(doc->blockCount(), 101);
  EXPECT_EQ(doc->firstBlock().text(), QString("line 49"));
  EXPECT_EQ(doc->lastBlock().text(), QString("line 149"));
  QScrollBar* bar = memo->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());

  while (form_.memo.LineCount() > 0) form_.memo.DeleteFirstLine();
  EXPECT_TRUE(memo->toPlainText().isEmpty());
  form_.memo.AddLine("again");
  EXPECT_EQ(memo->toPlainText(), QString("again"));
}

TEST_F(QtFormViewTest, GaugeShowsFillAndPercentage) {
  auto* bar = WidgetOf<QProgressBar>(form_.gauge);
  ASSERT_TRUE(bar);
  form_.gauge.SetMaxValue(200);
  form_.gauge.SetProgress(50);
  EXPECT_EQ(bar->text(), QString("25%"));
  EXPECT_EQ(bar->value() * 4, bar->maximum());
  form_.gauge.SetProgress(200);
  EXPECT_EQ(bar->text(), QString("100%"));
  EXPECT_EQ(bar->value(), bar->maximum());
  form_.gauge.SetMaxValue(0);  // an empty range shows nothing done
  EXPECT_EQ(bar->text(), QString("0%"));
  EXPECT_EQ(bar->value(), 0);
}

TEST_F(QtFormViewTest, ComboShowsItemsAndSelectionAndPicksRunOnSelect) {
  auto* box = WidgetOf<QComboBox>(form_.combo);
  ASSERT_TRUE(box);
  EXPECT_TRUE(box->isEditable());
  EXPECT_EQ(box->count(), 3);
  // Filling the list selects nothing until the control does.
  EXPECT_EQ(box->currentIndex(), -1);
  EXPECT_TRUE(box->currentText().isEmpty());

  form_.combo.SetItemIndex(1);
  EXPECT_EQ(box->currentIndex(), 1);
  EXPECT_EQ(box->currentText(), QString("COM2"));
  form_.combo.SetText("typed");
  EXPECT_EQ(box->currentText(), QString("typed"));

  std::vector<std::string> selected;
  form_.combo.OnSelect = [&](tk::TObject*) { selected.push_back(form_.combo.Text()); };
  form_.combo.SetDroppedDown(true);
  ASSERT_TRUE(box->view()->isVisible());
  QAbstractItemView* list = box->view();
  const QRect entry = list->visualRect(list->model()->index(2, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
  ASSERT_TRUE(PumpUntil([&] { return !selected.empty(); }, 1000));
  EXPECT_EQ(selected, std::vector<std::string>{"COM3"});
  EXPECT_EQ(form_.combo.ItemIndex(), 2);
  EXPECT_FALSE(form_.combo.DroppedDown());

  form_.combo.Clear();
  EXPECT_EQ(box->count(), 0);
  EXPECT_TRUE(box->currentText().isEmpty());
}

TEST_F(QtFormViewTest, TypedTextReachesTheEdit) {
  auto* line = WidgetOf<QLineEdit>(form_.edit);
  ASSERT_TRUE(line);
  form_.edit.SetText("/tmp/a.cry");
  EXPECT_EQ(line->text(), QString("/tmp/a.cry"));
  line->setFocus();
  QTest::keyClicks(line, "x");
  EXPECT_EQ(form_.edit.Text(), "/tmp/a.cryx");
}

TEST_F(QtFormViewTest, ClicksOnEnabledControlsRunTheirHandlers) {
  int button_clicks = 0, label_clicks = 0;
  form_.button.OnClick = [&](tk::TObject* sender) {
    EXPECT_EQ(sender, &form_.button);
    ++button_clicks;
  };
  form_.label.OnClick = [&](tk::TObject*) { ++label_clicks; };
  QTest::mouseClick(view_->WidgetOf(form_.button), Qt::LeftButton);
  QTest::mouseClick(view_->WidgetOf(form_.label), Qt::LeftButton);
  EXPECT_EQ(button_clicks, 1);
  EXPECT_EQ(label_clicks, 1);

  form_.button.SetEnabled(false);
  QTest::mouseClick(view_->WidgetOf(form_.button), Qt::LeftButton);
  EXPECT_EQ(button_clicks, 1);

  form_.button.SetEnabled(true);
  form_.button.OnClick = [](tk::TObject*) { throw std::runtime_error("handler failed"); };
  QTest::mouseClick(view_->WidgetOf(form_.button), Qt::LeftButton);
  EXPECT_EQ(reported_, std::vector<std::string>{"handler failed"});
}

TEST_F(QtFormViewTest, TheFormSeesKeysBeforeTheFocusedControl) {
  std::vector<std::pair<uint16_t, tk::TShiftState>> keys;
  form_.OnKeyDown = [&](tk::TObject*, uint16_t& key, tk::TShiftState shift) {
    keys.emplace_back(key, shift);
    if (key == 'Q') key = 0;  // taken by the form: the control never sees it
  };
  auto* line = WidgetOf<QLineEdit>(form_.edit);
  ASSERT_TRUE(line);
  line->setFocus();
  // F12 is left by the field and passed up to its parents: still seen once.
  // (The Shift key itself comes first, as its own key.)
  QTest::keyClick(line, Qt::Key_F12, Qt::ShiftModifier);
  QTest::keyClick(line, Qt::Key_Q);
  QTest::keyClick(line, Qt::Key_W);
  using Keys = std::vector<std::pair<uint16_t, tk::TShiftState>>;
  EXPECT_EQ(keys, (Keys{{0x10, 1u}, {tk::VK_F12, 1u}, {'Q', 0u}, {'W', 0u}}));
  EXPECT_EQ(line->text(), QString("w"));

  form_.SetKeyPreview(false);
  QTest::keyClick(line, Qt::Key_F12);
  EXPECT_EQ(keys.size(), 4u);
}

TEST_F(QtFormViewTest, ClosingTheWindowClosesTheForm) {
  int closes = 0;
  form_.OnClose = [&](tk::TObject*) { ++closes; };
  view_->Window().close();
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(form_.Closed());
  EXPECT_FALSE(view_->Window().isVisible());
}

TEST_F(QtFormViewTest, FormClosedByAHandlerHidesTheWindow) {
  form_.Close();
  EXPECT_FALSE(view_->Window().isVisible());
}

TEST_F(QtFormViewTest, ControlsDestroyedBeforeTheViewTakeTheirWidgetsAlong) {
  auto panel = std::make_unique<tk::TPanel>(&form_);
  auto extra = std::make_unique<tk::TButton>(&form_);
  panel->SetParent(&form_.left);
  extra->SetParent(panel.get());
  EXPECT_EQ(view_->WidgetOf(*extra), nullptr);
  view_->BindNewControls();
  EXPECT_EQ(view_->WidgetOf(*extra)->parentWidget(), view_->WidgetOf(*panel));
  extra->SetCaption("Extra");
  ASSERT_NE(view_->WidgetOf(*extra), nullptr);
  EXPECT_EQ(static_cast<QPushButton*>(view_->WidgetOf(*extra))->text(), QString("Extra"));
  panel.reset();  // its child stays, without a parent
  ASSERT_NE(view_->WidgetOf(*extra), nullptr);
  EXPECT_FALSE(view_->WidgetOf(*extra)->isVisible());
  extra->SetParent(&form_.right);
  EXPECT_TRUE(view_->WidgetOf(*extra)->isVisible());
  extra.reset();
  form_.button.SetCaption("still fine");
  QCoreApplication::processEvents();
  EXPECT_EQ(static_cast<QPushButton*>(view_->WidgetOf(form_.button))->text(),
            QString("still fine"));
}

TEST_F(QtFormViewTest, AControlMayBeFreedByItsOwnHandler) {
  auto button = std::make_unique<tk::TButton>(&form_);
  auto combo = std::make_unique<tk::TComboBox>(&form_);
  button->SetBounds(10, 120, 80, 25);
  combo->SetBounds(10, 150, 80, 21);
  combo->SetItems({"COM1", "COM2"});
  button->SetParent(&form_.right);
  combo->SetParent(&form_.right);
  view_->BindNewControls();
  QWidget* widget = view_->WidgetOf(*button);
  ASSERT_NE(widget, nullptr);
  button->OnClick = [&](tk::TObject*) { button.reset(); };
  QTest::mouseClick(widget, Qt::LeftButton);
  EXPECT_EQ(button, nullptr);

  // Freed while its list is open: closing the list later touches nothing.
  combo->SetDroppedDown(true);
  auto* box = static_cast<QComboBox*>(view_->WidgetOf(*combo));
  ASSERT_TRUE(box->view()->isVisible());
  combo.reset();
  box->hidePopup();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(reported_.empty());
}

}  // namespace

namespace {

TEST_F(QtFormViewTest, SpaceAndReturnPressTheFocusedButton) {
  int clicks = 0;
  form_.button.OnClick = [&](tk::TObject*) { ++clicks; };
  QWidget* button = view_->WidgetOf(form_.button);
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Space);
  QTest::keyClick(button, Qt::Key_Return);
  QTest::keyClick(button, Qt::Key_Enter);
  EXPECT_EQ(clicks, 3);
  form_.button.SetEnabled(false);
  QTest::keyClick(button, Qt::Key_Return);
  EXPECT_EQ(clicks, 3);
}

}  // namespace

// The main window as the Qt view shows it on this machine's faces: in both
// layouts every caption is whole, within its control, and clear of the
// control beside it; the speed list shows each of its speeds whole.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <string>
#include <vector>

#include "ui/main_window.h"
#include "ui/station/station_window.h"
#include "view/qt/qt_event_loop.h"
#include "view/qt/qt_form_view.h"

namespace {

std::string Describe(const QWidget& widget, const QString& text) {
  return "\"" + text.toStdString() + "\" in " + QFontInfo(widget.font()).family().toStdString() +
         " " + std::to_string(widget.font().pixelSize()) + " px";
}

int TextWidth(const QWidget& widget, const QString& text) {
  return QFontMetrics(widget.font()).horizontalAdvance(text);
}

void ExpectClearOfItsNeighbours(const QLabel& label) {
  const QWidget* parent = label.parentWidget();
  EXPECT_LE(label.geometry().right(), parent->width()) << Describe(label, label.text());
  for (const QObject* child : parent->children()) {
    const auto* other = qobject_cast<const QWidget*>(child);
    if (other == nullptr || other == &label || !other->isVisible()) continue;
    const bool beside =
        other->y() < label.geometry().bottom() && other->geometry().bottom() > label.y();
    if (beside && other->x() > label.x()) {
      EXPECT_LT(label.geometry().right(), other->x()) << Describe(label, label.text());
    }
  }
}

void ExpectEveryCaptionWhole(const QWidget& window) {
  for (const QLabel* label : window.findChildren<QLabel*>()) {
    if (!label->isVisible() || label->wordWrap() || label->text().isEmpty()) continue;
    EXPECT_LE(TextWidth(*label, label->text()), label->width()) << Describe(*label, label->text());
    ExpectClearOfItsNeighbours(*label);
  }
  for (const QPushButton* button : window.findChildren<QPushButton*>()) {
    if (!button->isVisible()) continue;
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    EXPECT_LE(TextWidth(*button, button->text()), contents.width())
        << Describe(*button, button->text());
  }
  for (const QComboBox* box : window.findChildren<QComboBox*>()) {
    if (!box->isVisible()) continue;
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = true;
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, box);
    for (int i = 0; i < box->count(); ++i)
      EXPECT_LE(TextWidth(*box, box->itemText(i)), field.width())
          << Describe(*box, box->itemText(i));
  }
}

TEST(QtWindowCaptions, EveryCaptionIsWholeInBothLayouts) {
  tk::QtEventLoop loop;
  quarnel::TForm1::Environment environment;
  environment.list_ports = [] { return std::vector<std::string>{"/dev/ttyS0", "sim0"}; };
  quarnel::TForm1 form(environment);
  tk::QtFormView view(form);
  view.Show();
  {
    SCOPED_TRACE("guided layout");
    ExpectEveryCaptionWhole(view.Window());
  }
  uint16_t key = tk::VK_F12;
  form.KeyDown(key, 0);
  ASSERT_EQ(form.EngineeringMode, 1);
  SCOPED_TRACE("full layout");
  ExpectEveryCaptionWhole(view.Window());
  // The speed list shows the selected speed from its first digit on.
  EXPECT_EQ(static_cast<QComboBox*>(view.WidgetOf(form.CBaudRate))->currentText(), "19200");
}

// The station's window at its smallest (1366x768) with the most slots it is
// made for, and with one: tiles, header, counters and buttons whole.
TEST(QtWindowCaptions, TheStationWindowsCaptionsAreWholeWithOneToSixteenSlots) {
  tk::QtEventLoop loop;
  for (const size_t count : {1u, 4u, 16u}) {
    SCOPED_TRACE(std::to_string(count) + " slots");
    quarnel::station_window::StationWindow::Environment environment;
    environment.header = {
        "Line 3, bench 2",    "/etc/quarnel/line-3-bench-2.toml", "/srv/firmware/unit-4.2.cry",
        std::string(64, 'a'), "/var/log/quarnel/units.log",       "operator"};
    for (size_t i = 0; i < count; ++i) {
      environment.slots.push_back(
          {"Slot " + std::to_string(i + 1), "usb-path:1-1." + std::to_string(i + 1), {}});
    }
    quarnel::station_window::StationWindow window(environment);
    tk::QtFormView view(window);
    view.Show();
    ExpectEveryCaptionWhole(view.Window());
    // The verdict field is the largest type of a tile.
    EXPECT_GE(window.Tile(0).VerdictField().Font().height, 24);
  }
}

}  // namespace

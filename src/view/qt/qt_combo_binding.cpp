#include "view/qt/qt_combo_binding.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <functional>

#include "view/qt/qt_form_view.h"

namespace tk {

// Tells the control when the operator opens or closes the list.
class QtComboBinding::Box : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void(bool open)> on_list;

  void showPopup() override {
    // The list may be wider than the box: long port names stay readable.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth() + 4);
    QComboBox::showPopup();
    if (on_list) on_list(true);
  }
  void hidePopup() override {
    QComboBox::hidePopup();
    if (on_list) on_list(false);
  }
};

namespace {
// A line edit keeps this much room on each side of its text.
constexpr int kLineEditTextMargin = 2;
}  // namespace

QtComboBinding::QtComboBinding(QtFormView& view, TComboBox& combo, NativeControl* container)
    : ComboBinding(view.Core(), combo, view.Adopt(new Box(view.ParentFor(container)))) {
  auto* box = WidgetOf<Box>(*this);
  box->setEditable(true);
  // The control owns the list: Enter must not add what was typed to it.
  box->setInsertPolicy(QComboBox::NoInsert);
  const LiveControl live = Live();
  box->on_list = [this, live](bool open) {
    if (*live != nullptr) ListOpened(open);
  };
  QObject::connect(box, &QComboBox::activated, box, [this, live](int index) {
    if (*live != nullptr) Picked(index);
  });
  QObject::connect(box->lineEdit(), &QLineEdit::textEdited, box, [this, live](const QString& text) {
    if (*live != nullptr) Typed(text.toStdString());
  });
}

void QtComboBinding::ShowItems(const std::vector<std::string>& items) {
  auto* box = WidgetOf<Box>(*this);
  QStringList shown;
  for (const auto& item : items) shown << QString::fromStdString(item);
  const QSignalBlocker block(box);
  box->clear();
  box->addItems(shown);
}

void QtComboBinding::ShowSelection(int index, const std::string& text) {
  auto* box = WidgetOf<Box>(*this);
  const QSignalBlocker block(box);
  if (box->currentIndex() != index) box->setCurrentIndex(index);
  const QString shown = QString::fromStdString(text);
  if (box->currentText() != shown) box->setEditText(shown);
}

void QtComboBinding::ShowDroppedDown(bool open) {
  auto* box = WidgetOf<Box>(*this);
  if (open && !box->view()->isVisible()) {
    box->showPopup();
  } else if (!open && box->view()->isVisible()) {
    box->hidePopup();
  }
}

void QtComboBinding::ShowAutoDropDown(bool on) {
  // Dropping down while typing: the list of matching entries opens as the
  // operator types.
  if (QCompleter* completer = WidgetOf<Box>(*this)->completer())
    completer->setCompletionMode(on ? QCompleter::PopupCompletion : QCompleter::InlineCompletion);
}

int QtComboBinding::TextRoom(int width) const {
  auto* box = WidgetOf<Box>(*this);
  QStyleOptionComboBox option;
  option.initFrom(box);
  option.editable = true;
  option.frame = box->hasFrame();
  option.rect = QRect(0, 0, width, std::max(box->height(), 1));
  const QRect field =
      box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
  return field.width() - 2 * kLineEditTextMargin;
}

}  // namespace tk

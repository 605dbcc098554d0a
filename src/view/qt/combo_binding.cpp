#include "view/qt/combo_binding.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>

#include "toolkit/application.h"

namespace tk {

namespace {

// Tells the control when the operator opens or closes the list.
class ComboWidget : public QComboBox {
 public:
  ComboWidget(ControlBinding::LiveControl live, QWidget* parent)
      : QComboBox(parent), live_(std::move(live)) {}
  void showPopup() override {
    // The list may be wider than the box: long port names stay readable.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth() + 4);
    QComboBox::showPopup();
    ControlBinding::Act<TComboBox>(live_, [](TComboBox& c) { c.SetDroppedDown(true); });
  }
  void hidePopup() override {
    QComboBox::hidePopup();
    ControlBinding::Act<TComboBox>(live_, [](TComboBox& c) { c.SetDroppedDown(false); });
  }

 private:
  ControlBinding::LiveControl live_;
};

}  // namespace

ComboBinding::ComboBinding(QtFormView& view, TComboBox& combo, QWidget* parent)
    : ControlBinding(view, combo), combo_(combo) {
  auto* widget = new ComboWidget(Live(), parent);
  widget->setEditable(true);
  // The control owns the list: Enter must not add what was typed to it.
  widget->setInsertPolicy(QComboBox::NoInsert);
  QObject::connect(widget, &QComboBox::activated, widget, [live = Live()](int index) {
    Act<TComboBox>(live, [index](TComboBox& c) { c.Pick(index); });
  });
  QObject::connect(widget->lineEdit(), &QLineEdit::textEdited, widget,
                   [live = Live()](const QString& text) {
                     Act<TComboBox>(live, [&](TComboBox& c) { c.SetText(text.toStdString()); });
                   });
  Attach(widget);
}

void ComboBinding::ShowSelection() {
  auto* box = static_cast<QComboBox*>(Widget());
  const QSignalBlocker block(box);
  if (box->currentIndex() != combo_.ItemIndex()) box->setCurrentIndex(combo_.ItemIndex());
  const QString text = QString::fromStdString(combo_.Text());
  if (box->currentText() != text) box->setEditText(text);
}

void ComboBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  auto* box = static_cast<QComboBox*>(Widget());
  switch (change) {
    case Change::Items: {
      QStringList items;
      for (const auto& item : combo_.Items()) items << QString::fromStdString(item);
      {
        const QSignalBlocker block(box);
        box->clear();
        box->addItems(items);
      }
      // Filling an empty box selects its first entry; the control decides.
      ShowSelection();
      break;
    }
    case Change::Text:
    case Change::ItemIndex:
      ShowSelection();
      break;
    case Change::DroppedDown:
      if (combo_.DroppedDown() && !box->view()->isVisible()) {
        box->showPopup();
      } else if (!combo_.DroppedDown() && box->view()->isVisible()) {
        box->hidePopup();
      }
      break;
    case Change::Style:
      // Dropping down while typing: the list of matching entries opens as the
      // operator types.
      if (QCompleter* completer = box->completer())
        completer->setCompletionMode(combo_.AutoDropDown() ? QCompleter::PopupCompletion
                                                           : QCompleter::InlineCompletion);
      break;
    default:
      break;
  }
}

}  // namespace tk

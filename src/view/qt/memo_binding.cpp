#include "view/qt/memo_binding.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace tk {

QString MemoParagraph(const std::string& line) {
  QString text = QString::fromStdString(line);
  // A line's own end (received lines keep their CR LF) is no extra line on screen.
  while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
  text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
  text.replace(QLatin1Char('\r'), QChar::LineSeparator);
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  return text;
}

MemoBinding::MemoBinding(QtFormView& view, TMemo& memo, QWidget* parent)
    : ControlBinding(view, memo), memo_(memo) {
  auto* widget = new QPlainTextEdit(parent);
  // The control takes no typed text, so the widget must not either: its
  // paragraphs stay the control's lines.
  widget->setReadOnly(true);
  widget->setUndoRedoEnabled(false);
  widget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  widget->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Attach(widget);
}

void MemoBinding::Apply(Change change) {
  ControlBinding::Apply(change);
  auto* edit = static_cast<QPlainTextEdit*>(Widget());
  switch (change) {
    case Change::LineAdded:
      AppendLast();
      break;
    case Change::FirstLineRemoved:
      RemoveFirst();
      break;
    case Change::LinesCleared:
      Reload();
      break;
    case Change::Style:
      edit->setVerticalScrollBarPolicy(memo_.VerticalScrollBar() ? Qt::ScrollBarAlwaysOn
                                                                 : Qt::ScrollBarAlwaysOff);
      break;
    default:
      break;
  }
}

void MemoBinding::AppendLast() {
  if (shown_ + 1 != memo_.LineCount()) return Reload();  // out of step: start afresh
  auto* edit = static_cast<QPlainTextEdit*>(Widget());
  QTextCursor cursor(edit->document());
  cursor.movePosition(QTextCursor::End);
  // An empty document already has its first paragraph.
  if (shown_ > 0) cursor.insertBlock();
  cursor.insertText(MemoParagraph(memo_.Lines().back()));
  ++shown_;
  ScrollToNewest();
}

void MemoBinding::RemoveFirst() {
  if (shown_ - 1 != memo_.LineCount()) return Reload();
  auto* edit = static_cast<QPlainTextEdit*>(Widget());
  if (shown_ == 1) {
    edit->clear();
  } else {
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
  --shown_;
}

void MemoBinding::Reload() {
  auto* edit = static_cast<QPlainTextEdit*>(Widget());
  QStringList paragraphs;
  for (const auto& line : memo_.Lines()) paragraphs << MemoParagraph(line);
  edit->setPlainText(paragraphs.join(QLatin1Char('\n')));
  shown_ = memo_.LineCount();
  ScrollToNewest();
}

void MemoBinding::ScrollToNewest() {
  QScrollBar* bar = static_cast<QPlainTextEdit*>(Widget())->verticalScrollBar();
  bar->setValue(bar->maximum());
}

}  // namespace tk

#include "view/qt/qt_memo_binding.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>

#include "view/qt/qt_form_view.h"

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

QtMemoBinding::QtMemoBinding(QtFormView& view, TMemo& memo, NativeControl* container)
    : MemoBinding(view.Core(), memo, view.Adopt(new QPlainTextEdit(view.ParentFor(container)))) {
  auto* edit = WidgetOf<QPlainTextEdit>(*this);
  // The control takes no typed text, so the widget must not either: its
  // paragraphs stay the control's lines.
  edit->setReadOnly(true);
  edit->setUndoRedoEnabled(false);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void QtMemoBinding::AppendLine(const std::string& line, bool first) {
  QTextCursor cursor(WidgetOf<QPlainTextEdit>(*this)->document());
  cursor.movePosition(QTextCursor::End);
  // An empty document already has its first paragraph.
  if (!first) cursor.insertBlock();
  cursor.insertText(MemoParagraph(line));
  ScrollToNewest();
}

void QtMemoBinding::RemoveFirstLine(bool last) {
  auto* edit = WidgetOf<QPlainTextEdit>(*this);
  if (last) {
    edit->clear();
    return;
  }
  QTextCursor cursor(edit->document());
  cursor.movePosition(QTextCursor::Start);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void QtMemoBinding::ShowLines(const std::vector<std::string>& lines) {
  QStringList paragraphs;
  for (const auto& line : lines) paragraphs << MemoParagraph(line);
  WidgetOf<QPlainTextEdit>(*this)->setPlainText(paragraphs.join(QLatin1Char('\n')));
  ScrollToNewest();
}

void QtMemoBinding::ShowVerticalScrollBar(bool on) {
  WidgetOf<QPlainTextEdit>(*this)->setVerticalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn
                                                                 : Qt::ScrollBarAlwaysOff);
}

void QtMemoBinding::ScrollToNewest() {
  QScrollBar* bar = WidgetOf<QPlainTextEdit>(*this)->verticalScrollBar();
  bar->setValue(bar->maximum());
}

}  // namespace tk

#include "view/qt/qt_dialog_service.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

#include "toolkit/controls.h"

namespace tk {

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromStdString(text);
}

QString TitleOrDefault() {
  const std::string& title = Application::Instance().Title();
  return title.empty() ? QCoreApplication::applicationName() : FromUtf8(title);
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  const QStringList parts = FromUtf8(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString text = parts[i].trimmed();
    QString patterns = i + 1 < parts.size() ? parts[i + 1] : text;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    patterns = patterns.simplified();
    if (text.isEmpty() && patterns.isEmpty()) continue;
    filters << QStringLiteral("%1 (%2)").arg(text.isEmpty() ? patterns : text, patterns);
  }
  return filters;
}

void QtDialogService::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, TitleOrDefault(), FromUtf8(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);  // messages carry device names and error texts, not markup
  box.exec();
}

bool QtDialogService::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::Question, TitleOrDefault(), FromUtf8(text),
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool QtDialogService::ExecuteOpenDialog(TOpenDialog& dialog) {
  QFileDialog files(QApplication::activeWindow(), QStringLiteral("Open"));
  files.setAcceptMode(QFileDialog::AcceptOpen);
  files.setFileMode(QFileDialog::ExistingFile);
  const QStringList filters = QtNameFilters(dialog.Filter);
  if (!filters.isEmpty()) files.setNameFilters(filters);
  if (!dialog.DefaultExt.empty()) files.setDefaultSuffix(FromUtf8(dialog.DefaultExt));
  if (dialog.OptionsEx & ofExNoPlacesBar) {
    // Only Qt's own dialog lets the places side bar go.
    files.setOption(QFileDialog::DontUseNativeDialog, true);
    files.setSidebarUrls({});
    if (auto* sidebar = files.findChild<QWidget*>(QStringLiteral("sidebar"))) sidebar->hide();
  }
  if (!dialog.FileName.empty()) {
    // Start where the last choice was, as the operator expects.
    const QFileInfo last(QFile::decodeName(dialog.FileName.c_str()));
    files.setDirectory(last.absolutePath());
    files.selectFile(last.fileName());
  }
  if (files.exec() != QDialog::Accepted) return false;
  const QStringList chosen = files.selectedFiles();
  if (chosen.isEmpty()) return false;
  // The file system's own bytes, so the path opens whatever its encoding.
  dialog.FileName = QFile::encodeName(QFileInfo(chosen.first()).absoluteFilePath()).toStdString();
  return true;
}

}  // namespace tk

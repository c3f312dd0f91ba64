#include "testapp/gui/qt_ui_seams.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace kelo::testapp {

namespace {

// QMessageBox falls back to the application name when the title is empty; a single blank
// keeps the title bar empty as the boxes of the original program were.
const QString kNoTitle = QStringLiteral(" ");

QString Trimmed(const QString& path) {
  return path.trimmed();
}

}  // namespace

void QtMessageBoxes::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kNoTitle, QString::fromStdString(text), QMessageBox::Ok,
                  owner_.data());
  box.exec();
}

bool QtMessageBoxes::AskRetryCancel(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kNoTitle, QString::fromStdString(text),
                  QMessageBox::Retry | QMessageBox::Cancel, owner_.data());
  return box.exec() == QMessageBox::Retry;
}

QString QtNameFilter(const std::string& filter) {
  QStringList filters;
  for (const auto& [description, pattern] : ParseDialogFilter(filter)) {
    QString patterns = QString::fromStdString(pattern);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(QString::fromStdString(description), patterns);
  }
  return filters.join(QStringLiteral(";;"));
}

std::string QtFileDialogs::OpenFileDialog(const std::string& title, const std::string& filter,
                                          const std::string& initial_name) {
  // getOpenFileName only returns existing files, which is the file-must-exist rule.
  return Trimmed(QFileDialog::getOpenFileName(owner_.data(), QString::fromStdString(title),
                                              QString::fromStdString(initial_name),
                                              QtNameFilter(filter)))
      .toStdString();
}

std::string QtFileDialogs::SaveFileDialog(const std::string& title, const std::string& filter,
                                          const std::string& initial_name) {
  // The save dialog asks before overwriting by default.
  return Trimmed(QFileDialog::getSaveFileName(owner_.data(), QString::fromStdString(title),
                                              QString::fromStdString(initial_name),
                                              QtNameFilter(filter)))
      .toStdString();
}

std::string QtFileDialogs::BrowseForFolderDialog(const std::string& title) {
  return QFileDialog::getExistingDirectory(owner_.data(), QString::fromStdString(title))
      .toStdString();
}

}  // namespace kelo::testapp

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

// A pattern of the filter as Qt matches it: "*.*" means every file, as it does on Windows,
// also names without a dot (Qt would show only names with one).
QString QtPattern(const QString& pattern) {
  return pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern;
}

// The suffix a saved name gets when it has none: the one of the filter's first pattern when
// that is a plain "*.ext" ("oposcmd" for "Macro (*.oposcmd)"), else none.
QString DefaultSuffix(const QString& name_filter) {
  const qsizetype open = name_filter.lastIndexOf(QLatin1Char('('));
  const qsizetype close = name_filter.lastIndexOf(QLatin1Char(')'));
  if (open < 0 || close < open) return {};
  const QString first = name_filter.mid(open + 1, close - open - 1)
                            .split(QLatin1Char(' '), Qt::SkipEmptyParts)
                            .value(0);
  if (!first.startsWith(QStringLiteral("*.")) || first.size() < 3) return {};
  const QString suffix = first.mid(2);
  for (QChar c : suffix) {
    if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[')) return {};
  }
  return suffix;
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
    const QStringList written =
        QString::fromStdString(pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QStringList patterns;
    for (const QString& p : written) patterns << QtPattern(p.trimmed());
    QString label = QString::fromStdString(description).trimmed();
    // A description that already names its patterns ("Macros (*.oposcmd)") names them once.
    const QString named = QStringLiteral("(%1)").arg(written.join(QLatin1Char(' ')));
    if (label.endsWith(named)) label = label.left(label.size() - named.size()).trimmed();
    filters << QStringLiteral("%1 (%2)").arg(label, patterns.join(QLatin1Char(' ')));
  }
  return filters.join(QStringLiteral(";;"));
}

std::string QtFileDialogs::OpenFileDialog(const std::string& title, const std::string& filter,
                                          const std::string& initial_name) {
  // Only existing files can be chosen, which is the file-must-exist rule.
  QFileDialog dialog(owner_.data(), QString::fromStdString(title),
                     QString::fromStdString(initial_name));
  dialog.setObjectName(QStringLiteral("OpenFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QtNameFilter(filter));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return Trimmed(dialog.selectedFiles().constFirst()).toStdString();
}

std::string QtFileDialogs::SaveFileDialog(const std::string& title, const std::string& filter,
                                          const std::string& initial_name) {
  // The save dialog asks before overwriting by default. A name typed without a suffix gets
  // the one of the chosen filter ("macro" is saved as "macro.oposcmd").
  QFileDialog dialog(owner_.data(), QString::fromStdString(title),
                     QString::fromStdString(initial_name));
  dialog.setObjectName(QStringLiteral("SaveFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QtNameFilter(filter));
  dialog.setDefaultSuffix(DefaultSuffix(dialog.selectedNameFilter()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& name_filter) {
                     dialog.setDefaultSuffix(DefaultSuffix(name_filter));
                   });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return Trimmed(dialog.selectedFiles().constFirst()).toStdString();
}

std::string QtFileDialogs::BrowseForFolderDialog(const std::string& title) {
  return QFileDialog::getExistingDirectory(owner_.data(), QString::fromStdString(title))
      .toStdString();
}

}  // namespace kelo::testapp

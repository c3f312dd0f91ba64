// The window program's message boxes and file dialogs, behind the seams the shared
// test-application code talks to (testapp/core/ui_seams.h).
#pragma once

#include <QPointer>
#include <QWidget>

#include "testapp/core/ui_seams.h"

namespace kelo::testapp {

// Message boxes without a title, owned by `owner` (may be null or go away; the boxes then
// have no parent).
class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void ShowMessage(const std::string& text) override;
  bool AskRetryCancel(const std::string& text) override;

 private:
  QPointer<QWidget> owner_;
};

// The open, save and folder dialogs of the desktop.
class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  // The open dialog accepts only existing files; the save dialog asks before overwriting.
  std::string OpenFileDialog(const std::string& title, const std::string& filter,
                             const std::string& initial_name) override;
  std::string SaveFileDialog(const std::string& title, const std::string& filter,
                             const std::string& initial_name) override;
  std::string BrowseForFolderDialog(const std::string& title) override;

 private:
  QPointer<QWidget> owner_;
};

// "Log files|*.log|All files|*.*" as a Qt name filter: "Log files (*.log);;All files (*)"
// ("*.*" matches every name, with a dot or without). Several patterns of one piece
// ("*.gif;*.bmp") become blank-separated; a description that already ends with its patterns
// in brackets ("Macros (*.oposcmd)") does not get them twice.
QString QtNameFilter(const std::string& filter);

}  // namespace kelo::testapp

// Shared pieces of the window tests: a QApplication on the offscreen platform, message boxes
// and file dialogs that answer without a user, and a main window whose control object talks
// to the fake service object in-process.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/fiscal_printer.h"
#include "control/tests/fake_so/fake_service.h"
#include "testapp/core/ui_seams.h"
#include "testapp/gui/main_window.h"

namespace kelo::testapp::testing {

// Records every box; Retry/Cancel is answered with `retry`.
class RecordingBoxes : public MessageBoxes {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  bool AskRetryCancel(const std::string& text) override {
    asked.push_back(text);
    return retry;
  }
  std::vector<std::string> shown;
  std::vector<std::string> asked;
  bool retry = false;
};

// Answers every dialog with a preset path ("" = cancelled).
class ScriptedDialogs : public FileDialogs {
 public:
  std::string OpenFileDialog(const std::string& title, const std::string&,
                             const std::string&) override {
    titles.push_back(title);
    return open_path;
  }
  std::string SaveFileDialog(const std::string& title, const std::string&,
                             const std::string&) override {
    titles.push_back(title);
    return save_path;
  }
  std::string BrowseForFolderDialog(const std::string& title) override {
    titles.push_back(title);
    return folder_path;
  }
  std::string open_path;
  std::string save_path;
  std::string folder_path;
  std::vector<std::string> titles;
};

// Lets the event loop run until `done` holds or `timeout_ms` passed; answers `done()`.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 3000);

// The log as lines (without CR LF).
std::vector<std::string> LogLines(const LogModel& log);

// A main window on a control object whose service object is the in-process fake, with the
// device key "KeloFPU" in a temporary configuration file.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Clicks the button with that objectName inside the main window (or `root`).
  void Click(const QString& name, QWidget* root = nullptr);
  template <typename T>
  T* Find(const QString& name, QWidget* root = nullptr) {
    QWidget* r = root ? root : window_.get();
    T* found = r->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  void SetNumber(int32_t index, int32_t value);
  void FailNextCall(int32_t code, int32_t extended = 0, const std::string& error = {});
  std::vector<std::string> TakeServiceCalls() { return fake_->TakeCalls(); }

  std::filesystem::path dir_;
  std::shared_ptr<control::testing::FakeServiceState> fake_;
  RecordingBoxes boxes_;
  ScriptedDialogs dialogs_;
  std::shared_ptr<control::QueuedDispatcher> dispatcher_;
  std::unique_ptr<control::FiscalPrinter> control_;
  std::unique_ptr<MDITestFPOPOS> window_;
};

}  // namespace kelo::testapp::testing

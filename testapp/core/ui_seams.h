// What the shared test-application code needs from a user interface, as small interfaces:
// the window program implements them with real dialogs, the headless runner with lines on
// standard error and fixed answers.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelo::testapp {

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A box with only an OK button and no title.
  virtual void ShowMessage(const std::string& text) = 0;
  // A box with Retry and Cancel buttons and no title; true when the user chose Retry.
  virtual bool AskRetryCancel(const std::string& text) = 0;
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // `filter` is description and pattern pieces separated by "|" (see ParseDialogFilter).
  // Each returns the chosen path, trimmed, or "" when the user cancels.
  virtual std::string OpenFileDialog(const std::string& title, const std::string& filter,
                                     const std::string& initial_name) = 0;
  virtual std::string SaveFileDialog(const std::string& title, const std::string& filter,
                                     const std::string& initial_name) = 0;
  virtual std::string BrowseForFolderDialog(const std::string& title) = 0;
};

// "Log files|*.log|All files|*.*" -> {{"Log files", "*.log"}, {"All files", "*.*"}}. A piece
// without its pattern gets "*".
std::vector<std::pair<std::string, std::string>> ParseDialogFilter(std::string_view filter);

// Message boxes that show nothing and answer Cancel; records what would have been shown.
class SilentMessageBoxes : public MessageBoxes {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  bool AskRetryCancel(const std::string& text) override {
    shown.push_back(text);
    return false;
  }
  std::vector<std::string> shown;
};

}  // namespace kelo::testapp

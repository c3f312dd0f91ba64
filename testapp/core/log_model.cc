#include "testapp/core/log_model.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/os/debug_output.h"
#include "testapp/core/log_text.h"
#include "testapp/core/ui_seams.h"

namespace kelo::testapp {

void LogModel::SetLineListener(LineListener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  line_listener_ = std::move(listener);
}

void LogModel::SetClearedListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  cleared_listener_ = std::move(listener);
}

void LogModel::AddToLog(std::string_view text) {
  const std::string line = EscapeForLog(text);
  platform::DebugOutput(line + "\r\n");
  std::lock_guard<std::mutex> lock(mutex_);
  text_ += line;
  text_ += "\r\n";
  if (line_listener_) line_listener_(line);
}

std::string LogModel::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

void LogModel::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  text_.clear();
  if (cleared_listener_) cleared_listener_();
}

bool LogModel::SaveToFile(const std::string& path, std::string* error) const {
  const std::string contents = "\"" + Text() + "\"\r\n";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (out) out.close();
  if (!out) {
    if (error) *error = "Cannot write the log file " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void LogModel::SaveLog2File(FileDialogs& dialogs, MessageBoxes& boxes) const {
  const std::string path =
      dialogs.SaveFileDialog("Select the output log file", "Log files|*.log", "");
  if (path.empty()) return;
  std::string error;
  if (!SaveToFile(path, &error)) boxes.ShowMessage(error);
}

}  // namespace kelo::testapp

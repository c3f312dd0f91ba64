// The log of the test application: the text the log window shows, and the routine every
// panel writes it with.
//
// The log is a list of lines; its text is each line followed by CR LF. It lives as long as
// the process and is never trimmed. AddToLog may be called from any thread (control-object
// events may arrive on the service object's thread); every member is synchronised.
#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace kelo::testapp {

class FileDialogs;
class MessageBoxes;

class LogModel {
 public:
  // Receives every new line (escaped, without CR LF) right after it was added, in order, on
  // the logging thread, with the log locked: it must not call back into the LogModel.
  using LineListener = std::function<void(const std::string& line)>;
  void SetLineListener(LineListener listener);
  // Receives a call whenever Clear() emptied the log (same rules as the line listener).
  void SetClearedListener(std::function<void()> listener);

  // Escapes the text (EscapeForLog), appends it and CR LF, and sends the same to the debug
  // output. No time stamp.
  void AddToLog(std::string_view text);

  // The whole log text.
  std::string Text() const;
  // "&Clear".
  void Clear();

  // Writes the whole log as one quoted string: '"', the unchanged text (embedded quotes are
  // not doubled), '"', CR LF. False with *error when the file cannot be written.
  bool SaveToFile(const std::string& path, std::string* error) const;
  // "SaveLog2File": asks for the file ("Select the output log file", "Log files|*.log", empty
  // initial name) and saves; nothing happens on cancel; a write failure is shown in a box.
  void SaveLog2File(FileDialogs& dialogs, MessageBoxes& boxes) const;

 private:
  // Guards text_ and the listeners; listeners run under it so lines reach them in order.
  mutable std::mutex mutex_;
  std::string text_;
  LineListener line_listener_;
  std::function<void()> cleared_listener_;
};

}  // namespace kelo::testapp

// Where the wrapper hands the macro line of every call (the macro engine implements it).
#pragma once
#include <string>

namespace kelo::testapp {

class MacroRecorder {
 public:
  virtual ~MacroRecorder() = default;
  // Keeps or ignores the line by the recorder's own state; 0 when kept.
  virtual int AddCommand(const std::string& command) = 0;
};

}  // namespace kelo::testapp

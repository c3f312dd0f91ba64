// clsFprtWrapper: every call the test application makes on the FiscalPrinter control object.
//
// A method member (1) hands its macro line ("F_" + method, "$"-separated arguments) to the
// macro recorder, (2) calls the control object, (3) logs "Name(arguments)" followed by the
// result text built from ResultCode, ResultCodeExtended and ErrorString, and returns the
// control's result code. A property reader logs "Name = value"; a property writer records
// "P_Name$value", writes, and logs "Name := value" plus the result text. Strings are quoted in
// the log, amounts written with FormatAmount, adjustment types by name.
//
// The wrapper holds no state of its own besides its collaborators. It is used on one thread.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "control/fiscal_printer.h"
#include "testapp/core/log_model.h"
#include "testapp/core/logged_methods.h"
#include "testapp/core/macro_recorder.h"

namespace kelo::testapp {

using control::Currency;

class clsFprtWrapper {
 public:
  // recorder may be null (nothing is recorded) and may be set later.
  clsFprtWrapper(control::FiscalPrinter& control, LogModel& log, MacroRecorder* recorder = nullptr);

  void SetRecorder(MacroRecorder* recorder) { recorder_ = recorder; }
  // Called after every method member with the member's name and result (the headless runner
  // uses it to find the first failing call). Property members do not report.
  void SetResultObserver(std::function<void(const std::string& member, int32_t result)> observer) {
    observer_ = std::move(observer);
  }

  control::FiscalPrinter& control() { return control_; }
  LogModel& log() { return log_; }

  // "     -> OposSuccess(0)" or "     -> <name>(<code>)  <ext name>(<ext>)  <ErrorString>",
  // read from the control without logging.
  std::string ResultText();

  // ---- Methods (testapp/core/logged_methods.def) ----
  // Each takes the control method's arguments.
  using Number = logged::Number;
  using AdjustmentType = logged::AdjustmentType;
  using NumberInOut = logged::NumberInOut;
  using Flag = logged::Flag;
  using Amount = logged::Amount;
  using Quoted = logged::Quoted;
  using Trimmed = logged::Trimmed;
  using OutNumber = logged::OutNumber;
  using OutText = logged::OutText;
  using EmptyField = logged::EmptyField;
#define KELO_LOGGED(member, name, ...)                                        \
  template <typename... A>                                                    \
  int32_t member(A&&... args) {                                               \
    Record(logged::MacroLine<__VA_ARGS__>(#name, args...));                   \
    const int32_t rc = control_.name(args...);                                \
    return Finish(#member, rc, logged::LogLine<__VA_ARGS__>(#name, args...)); \
  }
#include "testapp/core/logged_methods.def"
#undef KELO_LOGGED
  // Records "F_DirectIO$command$d0$...$d10$text"; logs the command by name and all eleven values.
  int32_t DirectIO(int32_t& command, std::array<int32_t, 11>& data, std::string& text);

  // ---- Properties (opos/properties.def: 119, 20 settable) ----
#define KELO_WRAP_Long(name) int32_t name();
#define KELO_WRAP_Bool(name) bool name();
#define KELO_WRAP_Text(name) std::string name();
#define KELO_WRAP_SET_RO(name, type)
#define KELO_WRAP_SET_RW(name, type) void Set##name(KELO_WRAP_IN_##type value);
#define KELO_WRAP_IN_Long int32_t
#define KELO_WRAP_IN_Bool bool
#define KELO_WRAP_IN_Text const std::string&
#define KELO_PROPERTY(name, index, type, access, service_default) \
  KELO_WRAP_##type(name) KELO_WRAP_SET_##access(name, type)
#include "opos/properties.def"
#undef KELO_PROPERTY
#undef KELO_WRAP_Long
#undef KELO_WRAP_Bool
#undef KELO_WRAP_Text
#undef KELO_WRAP_SET_RO
#undef KELO_WRAP_SET_RW
#undef KELO_WRAP_IN_Long
#undef KELO_WRAP_IN_Bool
#undef KELO_WRAP_IN_Text

 private:
  // A property read: logs "Name = value" and returns the value.
  template <typename T>
  T Read(const char* name, int32_t index, T value);
  // A property write: records "P_Name$value", writes through `write`, logs
  // "Name := value" with the result text.
  template <typename T, typename W>
  void Write(const char* name, int32_t index, const T& value, W write);

  void Record(const std::string& macro_line);
  int32_t Finish(const std::string& member, int32_t result, const std::string& log_line);

  control::FiscalPrinter& control_;
  LogModel& log_;
  MacroRecorder* recorder_;
  std::function<void(const std::string&, int32_t)> observer_;
};

}  // namespace kelo::testapp

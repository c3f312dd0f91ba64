#include "testapp/core/fprt_wrapper.h"

#include "opos/opos_constants.h"
#include "testapp/core/log_text.h"
#include "testapp/core/name_tables.h"

namespace kelo::testapp {

namespace {

std::string Q(const std::string& text) {
  return "\"" + text + "\"";
}
std::string V(int32_t value) {
  return ValueText(value);
}
std::string V(const std::string& value) {
  return ValueText(std::string_view(value));
}

}  // namespace

clsFprtWrapper::clsFprtWrapper(control::FiscalPrinter& control, LogModel& log,
                               MacroRecorder* recorder)
    : control_(control), log_(log), recorder_(recorder) {}

std::string clsFprtWrapper::ResultText() {
  const int32_t code = control_.ResultCode();
  const int32_t extended = control_.ResultCodeExtended();
  const std::string error = control_.ErrorString();
  if (code == 0) return "     -> OposSuccess(0)";
  return "     -> " + ResultCodeName(code) + "(" + std::to_string(code) + ")  " +
         ExtendedResultCodeName(extended) + "(" + std::to_string(extended) + ")  " + error;
}

void clsFprtWrapper::Record(const std::string& macro_line) {
  if (recorder_) recorder_->AddCommand(macro_line);
}

int32_t clsFprtWrapper::Finish(const std::string& member, int32_t result,
                               const std::string& log_line) {
  std::string result_text = ResultText();
  // The control object refuses some calls itself (Open of an open device) and leaves the
  // result fields of the service object alone: the line shows the call's own result.
  if (result != control_.ResultCode()) {
    result_text = "     -> " + ResultCodeName(result) + "(" + std::to_string(result) + ")";
    if (result != 0) result_text += "  (0)  ";
  }
  log_.AddToLog(log_line + result_text);
  if (observer_) observer_(member, result);
  return result;
}

int32_t clsFprtWrapper::DirectIO(int32_t& command, std::array<int32_t, 11>& data,
                                 std::string& text) {
  std::string macro = "F_DirectIO$" + V(command);
  for (int32_t d : data) macro += "$" + V(d);
  Record(macro + "$" + text);
  const int32_t rc = control_.DirectIO(command, data, text);
  std::string line = "DirectIO(" + DirectIOCommandName(command) + ", {";
  for (size_t i = 0; i < data.size(); ++i) line += (i ? ", " : "") + V(data[i]);
  line += "}, " + V(text) + ")";
  return Finish("DirectIO", rc, line);
}

// ---- Properties (opos/properties.def) ------------------------------------------------------

namespace {

// How the log shows a property value: numbers and flags as ValueText, texts quoted; the two
// numbers the control object of old handed over as text (CountryCode, ServiceObjectVersion)
// quoted as well.
std::string Shown(int32_t index, int32_t value) {
  if (index == opos::PIDX_CountryCode || index == opos::PIDX_ServiceObjectVersion) {
    return Q(std::to_string(value));
  }
  return ValueText(value);
}
std::string Shown(int32_t /*index*/, bool value) {
  return ValueText(value);
}
std::string Shown(int32_t /*index*/, const std::string& value) {
  return Q(value);
}

}  // namespace

template <typename T>
T clsFprtWrapper::Read(const char* name, int32_t index, T value) {
  log_.AddToLog(std::string(name) + " = " + Shown(index, value));
  return value;
}

template <typename T, typename W>
void clsFprtWrapper::Write(const char* name, int32_t index, const T& value, W write) {
  Record(std::string("P_") + name + "$" + ValueText(value));
  write();
  log_.AddToLog(std::string(name) + " := " + Shown(index, value) + ResultText());
}

#define KELO_WRAP_GET(name, type)                                 \
  type clsFprtWrapper::name() {                                   \
    return Read<type>(#name, opos::PIDX_##name, control_.name()); \
  }
#define KELO_WRAP_Long(name) KELO_WRAP_GET(name, int32_t)
#define KELO_WRAP_Bool(name) KELO_WRAP_GET(name, bool)
#define KELO_WRAP_Text(name) KELO_WRAP_GET(name, std::string)
#define KELO_WRAP_SET_RO(name, type)
#define KELO_WRAP_SET_RW(name, type)                                            \
  void clsFprtWrapper::Set##name(KELO_WRAP_IN_##type value) {                   \
    Write(#name, opos::PIDX_##name, value, [&] { control_.Set##name(value); }); \
  }
#define KELO_WRAP_IN_Long int32_t
#define KELO_WRAP_IN_Bool bool
#define KELO_WRAP_IN_Text const std::string&
#define KELO_PROPERTY(name, index, type, access, service_default) \
  KELO_WRAP_##type(name) KELO_WRAP_SET_##access(name, type)
#include "opos/properties.def"
#undef KELO_PROPERTY

}  // namespace kelo::testapp

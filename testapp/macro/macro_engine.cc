#include "testapp/macro/macro_engine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "opos/opos_constants.h"
#include "testapp/core/log_text.h"
#include "testapp/macro/macro_conversions.h"

namespace kelo::macro {

namespace {

constexpr int32_t kFailure = opos::OPOS_E_FAILURE;
constexpr int32_t kBusy = opos::OPOS_E_BUSY;

}  // namespace

clsMacroEngine::clsMacroEngine(testapp::clsFprtWrapper& wrapper, testapp::LogModel& log,
                               testapp::MessageBoxes& boxes, platform::Clock& clock)
    : wrapper_(wrapper), log_(log), boxes_(boxes), clock_(clock) {}

void clsMacroEngine::Note(const std::string& text) {
  log_.AddToLog("Macro: " + text);
}

void clsMacroEngine::ListClear() {
  if (view_) view_->Clear();
}
void clsMacroEngine::ListAdd(const std::string& line) {
  if (view_) view_->Add(line);
}
void clsMacroEngine::ListSelect(int index) {
  if (view_) view_->Select(index);
}

int32_t clsMacroEngine::Construct() {
  lines_.clear();
  current_line_ = -1;
  ++generation_;
  ListClear();
  return 0;
}

int clsMacroEngine::AddCommand(const std::string& command) {
  if (IsRunningMacro()) return 1;
  if (lines_.size() >= kMaxMacroLines) {
    Note("the macro is full (" + std::to_string(kMaxMacroLines) +
         " lines); not recorded: " + command);
    return 2;
  }
  lines_.push_back(testapp::EscapeForLog(command));
  ListAdd(lines_.back());
  return 0;
}

int32_t clsMacroEngine::StartSavedMacro() {
  PopulateListBoxMacro();
  ++generation_;
  current_line_ = 0;
  return 0;
}

int32_t clsMacroEngine::StopMacro() {
  current_line_ = -1;
  ++generation_;
  return 0;
}

int32_t clsMacroEngine::SetLineMacro(int16_t index) {
  current_line_ = index;
  return 0;
}

int32_t clsMacroEngine::PopulateListBoxMacro() {
  ListClear();
  for (const auto& line : lines_) ListAdd(line);
  ListSelect(lines_.empty() ? -1 : 0);
  return 0;
}

int32_t clsMacroEngine::PlayLineMacro() {
  if (current_line_ == -1) return kFailure;
  if (playing_line_) {
    Note("a line is still being played; wait for it to end");
    return kBusy;
  }
  const int index = current_line_;
  // Slots past the last line read as empty lines, as in a fixed array of lines.
  const std::string line =
      index >= 0 && index < count() ? lines_[static_cast<size_t>(index)] : std::string();
  const uint64_t generation = generation_;
  playing_line_ = true;
  const int32_t result = ProcessMacro(line);
  playing_line_ = false;
  if (generation != generation_ || current_line_ == -1) {
    // Stopped, cleared or restarted while the line waited: leave that decision in place.
    if (current_line_ == -1) ListSelect(-1);
    return result;
  }
  const int next = current_line_ + 1;
  if (next >= 0 && next < count()) {
    current_line_ = static_cast<int16_t>(next);
    ListSelect(next);
  } else {
    current_line_ = -1;
    ListSelect(-1);
  }
  return result;
}

int32_t clsMacroEngine::LoadFromFile(const std::string& path) {
  if (path.empty()) {
    lines_.clear();
    PopulateListBoxMacro();
    return kFailure;
  }
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    Note("cannot read the macro file " + path + ": it is a folder");
    return kFailure;
  }
  std::string data;
  std::string error;
  if (!ReadMacroFile(path, &data, &error)) {
    Note("cannot read the macro file " + path + ": " + error);
    return kFailure;
  }
  std::vector<std::string> lines;
  if (!ParseMacroText(data, &lines, &error)) {
    Note("the macro file " + path + " was not loaded: " + error);
    return kFailure;
  }
  lines_ = std::move(lines);
  PopulateListBoxMacro();
  return 0;
}

int32_t clsMacroEngine::SaveToFile(const std::string& path) {
  if (path.empty()) return kFailure;
  const std::string contents = SerializeMacro(lines_);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (out) out.close();
  if (!out) {
    Note("cannot write the macro file " + path + ": " + std::strerror(errno));
    return kFailure;
  }
  return 0;
}

int32_t clsMacroEngine::ProcessMacro(const std::string& line) {
  std::vector<std::string> fields = SplitFields(line);
  if (fields.size() > kMaxMacroFields) {
    Note("line not executed, it has " + std::to_string(fields.size()) + " fields (at most " +
         std::to_string(kMaxMacroFields) + "): " + line);
    return kFailure;
  }
  for (auto& field : fields) field = testapp::UnescapeLogMarks(field);
  try {
    return Execute(fields, line);
  } catch (const NotConverted& e) {
    Note("line not executed, " + e.why + ": " + line);
    return kFailure;
  }
}

int32_t clsMacroEngine::Delay(const std::string& field) {
  const std::optional<int32_t> ms = WholeNumber(field);
  if (!ms) throw NotConverted{"the delay \"" + field + "\" is not a number of milliseconds"};
  if (*ms == 0) {
    Note("F_Delay of 0 ms: no wait");
    return 0;
  }
  if (*ms < 0 || *ms > 65535) {
    Note("F_Delay of " + std::to_string(*ms) + " ms not done (1 to 65535 ms)");
    return kFailure;
  }
  const uint64_t generation = generation_;
  const uint32_t start = clock_.TickMs();
  const auto total = static_cast<uint32_t>(*ms);
  for (;;) {
    const uint32_t elapsed = platform::TicksSince(start, clock_.TickMs());
    if (elapsed >= total || generation != generation_) break;
    const uint32_t slice = std::min<uint32_t>(total - elapsed, 50);
    if (pump_) {
      pump_(slice);
    } else {
      clock_.SleepMs(slice);
    }
  }
  return 0;
}

int32_t clsMacroEngine::Execute(const std::vector<std::string>& fields, const std::string& line) {
  auto text = [&](size_t i) -> std::string { return i < fields.size() ? fields[i] : ""; };
  auto number = [&](size_t i) -> int32_t {
    const std::optional<int32_t> v = WholeNumber(text(i));
    if (!v)
      throw NotConverted{"field " + std::to_string(i) + " \"" + text(i) + "\" is out of range"};
    return *v;
  };
  auto flag = [&](size_t i) { return Flag(text(i)); };
  auto amount = [&](size_t i) { return testapp::ParseAmount(text(i), boxes_); };
  testapp::clsFprtWrapper& w = wrapper_;
  const std::string& keyword = fields[0];

  if (keyword == "F_Delay") return Delay(text(1));

  // ---- methods ----
  if (keyword == "F_Open") {
    const std::string name = text(1);
    if (std::find(accepted_.begin(), accepted_.end(), name) == accepted_.end()) {
      Note("F_Open of device \"" + name + "\" not done: only KeloFPU and VantrixEj are opened");
      return kFailure;
    }
  }
  if (keyword == "F_DirectIO") {
    int32_t command = number(1);
    std::array<int32_t, 11> data{};
    for (size_t i = 0; i < data.size(); ++i) data[i] = number(2 + i);
    std::string string = text(13);
    return w.DirectIO(command, data, string);
  }
  // Recorded for the log only: playing them back does nothing.
  if (keyword == "F_GetDate" || keyword == "F_GetTotalizer") return 0;
  // Every other logged method: its row of testapp/core/logged_methods.def reads the fields.
  using TextField = decltype(text);
  using NumberField = decltype(number);
  using FlagField = decltype(flag);
  using AmountField = decltype(amount);
  struct {
    TextField& text;
    NumberField& number;
    FlagField& flag;
    AmountField& amount;
  } reader{text, number, flag, amount};
  using Number = testapp::logged::Number;
  using AdjustmentType = testapp::logged::AdjustmentType;
  using NumberInOut = testapp::logged::NumberInOut;
  using Flag = testapp::logged::Flag;
  using Amount = testapp::logged::Amount;
  using Quoted = testapp::logged::Quoted;
  using Trimmed = testapp::logged::Trimmed;
  using OutNumber = testapp::logged::OutNumber;
  using OutText = testapp::logged::OutText;
  using EmptyField = testapp::logged::EmptyField;
#define KELO_LOGGED(member, name, ...)                                                           \
  if (keyword == "F_" #name) {                                                                   \
    return testapp::logged::Play<__VA_ARGS__>(reader,                                            \
                                              [&](auto&... args) { return w.member(args...); }); \
  }
#define KELO_RECORDED_ONLY(member, name, ...)
#include "testapp/core/logged_methods.def"
#undef KELO_RECORDED_ONLY
#undef KELO_LOGGED

  // ---- properties (the result is 0) ----
  // Three take their value more strictly (or more loosely) than their type says.
  if (keyword == "P_ChangeDue") return w.SetChangeDue(NumberText(LeadingNumber(text(1)))), 0;
  if (keyword == "P_ContractorId") {
    const std::optional<int32_t> id = StrictWholeNumber(text(1));
    if (!id) throw NotConverted{"\"" + text(1) + "\" is not a whole number"};
    return w.SetContractorId(*id), 0;
  }
  if (keyword == "P_DeviceEnabled") {
    const std::optional<bool> enabled = StrictFlag(text(1));
    if (!enabled) throw NotConverted{"\"" + text(1) + "\" is neither True, False nor a number"};
    return w.SetDeviceEnabled(*enabled), 0;
  }
  // The others: every writable property of opos/properties.def.
#define KELO_MACRO_SET_RO(name, type)
#define KELO_MACRO_SET_RW(name, type) \
  if (keyword == "P_" #name) return w.Set##name(KELO_MACRO_ARG_##type), 0;
#define KELO_MACRO_ARG_Long number(1)
#define KELO_MACRO_ARG_Bool flag(1)
#define KELO_MACRO_ARG_Text text(1)
#define KELO_PROPERTY(name, index, type, access, service_default) \
  KELO_MACRO_SET_##access(name, type)
#include "opos/properties.def"
#undef KELO_PROPERTY
#undef KELO_MACRO_SET_RO
#undef KELO_MACRO_SET_RW
#undef KELO_MACRO_ARG_Long
#undef KELO_MACRO_ARG_Bool
#undef KELO_MACRO_ARG_Text

  boxes_.ShowMessage("Unknown command " + line);
  return 0;
}

}  // namespace kelo::macro

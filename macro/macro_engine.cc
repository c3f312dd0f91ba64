#include "macro/macro_engine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/opos_constants.h"
#include "macro/macro_conversions.h"
#include "testapp/core/log_text.h"

namespace kelo::macro {

namespace {

constexpr int32_t kFailure = control::opos::OPOS_E_FAILURE;
constexpr int32_t kBusy = control::opos::OPOS_E_BUSY;

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
    return w.WOpen(name);
  }
  if (keyword == "F_Close") return w.WClose();
  if (keyword == "F_ClaimDevice") return w.ClaimDevice(number(1));
  if (keyword == "F_ReleaseDevice") return w.ReleaseDevice();
  if (keyword == "F_CheckHealth") return w.CheckHealth(number(1));
  if (keyword == "F_ClearError") return w.ClearError();
  if (keyword == "F_ClearOutput") return w.ClearOutput();
  if (keyword == "F_DirectIO") {
    int32_t command = number(1);
    std::array<int32_t, 11> data{};
    for (size_t i = 0; i < data.size(); ++i) data[i] = number(2 + i);
    std::string string = text(13);
    return w.DirectIO(command, data, string);
  }
  if (keyword == "F_BeginFiscalReceipt") return w.BeginFiscalReceipt(flag(1));
  if (keyword == "F_EndFiscalReceipt") return w.EndFiscalReceipt(flag(1));
  if (keyword == "F_BeginNonFiscal") return w.BeginNonFiscal();
  if (keyword == "F_EndNonFiscal") return w.EndNonFiscal();
  if (keyword == "F_BeginTraining") return w.BeginTraining();
  if (keyword == "F_EndTraining") return w.EndTraining();
  if (keyword == "F_GetData") {
    int32_t opt = number(2);
    std::string data;
    return w.GetData(number(1), opt, data);
  }
  if (keyword == "F_GetVatEntry") {
    int32_t rate = 0;
    return w.GetVatEntry(number(1), number(2), rate);
  }
  if (keyword == "F_GetDate" || keyword == "F_GetTotalizer") return 0;
  if (keyword == "F_PrintDuplicateReceipt") return w.PrintDuplicateReceipt();
  if (keyword == "F_PrintNormal") return w.PrintNormal(number(1), text(2));
  if (keyword == "F_PrintPeriodicTotalsReport")
    return w.PrintPeriodicTotalsReport(text(1), text(2));
  if (keyword == "F_PrintRecItem" || keyword == "F_PrintRecItemVoid") {
    const std::string description = text(1);
    const auto price = amount(2);
    const int32_t quantity = number(3);
    const int32_t vat = number(4);
    const auto unit_price = amount(5);
    const std::string unit = text(6);
    return keyword == "F_PrintRecItem"
               ? w.PrintRecItem(description, price, quantity, vat, unit_price, unit)
               : w.PrintRecItemVoid(description, price, quantity, vat, unit_price, unit);
  }
  if (keyword == "F_PrintRecItemAdjustment" || keyword == "F_PrintRecItemAdjustmentVoid") {
    const int32_t type = number(1);
    const std::string description = text(2);
    const auto value = amount(3);
    const int32_t vat = number(4);
    return keyword == "F_PrintRecItemAdjustment"
               ? w.PrintRecItemAdjustment(type, description, value, vat)
               : w.PrintRecItemAdjustmentVoid(type, description, value, vat);
  }
  if (keyword == "F_PrintRecMessage") return w.PrintRecMessage(text(1));
  if (keyword == "F_PrintRecNotPaid") return w.PrintRecNotPaid(text(1), amount(2));
  if (keyword == "F_PrintRecRefund" || keyword == "F_PrintRecRefundVoid") {
    const std::string description = text(1);
    const auto value = amount(2);
    const int32_t vat = number(3);
    return keyword == "F_PrintRecRefund" ? w.PrintRecRefund(description, value, vat)
                                         : w.PrintRecRefundVoid(description, value, vat);
  }
  if (keyword == "F_PrintRecSubtotal") return w.PrintRecSubtotal(amount(1));
  if (keyword == "F_PrintRecSubtotalAdjustment") {
    const int32_t type = number(1);
    const std::string description = text(2);
    return w.PrintRecSubtotalAdjustment(type, description, amount(3));
  }
  if (keyword == "F_PrintRecSubtotalAdjustVoid") {
    const int32_t type = number(1);
    return w.PrintRecSubtotalAdjustVoid(type, amount(2));
  }
  if (keyword == "F_PrintRecTotal") {
    const auto total = amount(1);
    const auto payment = amount(2);
    return w.PrintRecTotal(total, payment, text(3));
  }
  if (keyword == "F_PrintRecVoid") return w.PrintRecVoid(text(1));
  if (keyword == "F_PrintReport") return w.PrintReport(number(1), text(2), text(3));
  if (keyword == "F_PrintXReport") return w.PrintXReport();
  if (keyword == "F_PrintZReport") return w.PrintZReport();
  if (keyword == "F_ResetPrinter") return w.ResetPrinter();
  if (keyword == "F_SetDate") return w.SetDate(text(1));
  if (keyword == "F_SetHeaderLine") {
    const int32_t line_number = number(1);
    return w.SetHeaderLine(line_number, text(2), flag(3));
  }
  if (keyword == "F_SetPOSID") return w.SetPOSID(text(1), text(2));
  if (keyword == "F_SetVatTable") return w.SetVatTable();
  if (keyword == "F_SetVatValue") return w.SetVatValue(number(1), text(2));

  // ---- properties (the result is 0) ----
  if (keyword == "P_AdditionalHeader") return w.SetAdditionalHeader(text(1)), 0;
  if (keyword == "P_AdditionalTrailer") return w.SetAdditionalTrailer(text(1)), 0;
  if (keyword == "P_AsyncMode") return w.SetAsyncMode(flag(1)), 0;
  if (keyword == "P_BinaryConversion") return w.SetBinaryConversion(number(1)), 0;
  if (keyword == "P_ChangeDue") return w.SetChangeDue(NumberText(LeadingNumber(text(1)))), 0;
  if (keyword == "P_CheckTotal") return w.SetCheckTotal(flag(1)), 0;
  if (keyword == "P_ContractorId") {
    const std::optional<int32_t> id = StrictWholeNumber(text(1));
    if (!id) throw NotConverted{"\"" + text(1) + "\" is not a whole number"};
    return w.SetContractorId(*id), 0;
  }
  if (keyword == "P_DateType") return w.SetDateType(number(1)), 0;
  if (keyword == "P_DeviceEnabled") {
    const std::optional<bool> enabled = StrictFlag(text(1));
    if (!enabled) throw NotConverted{"\"" + text(1) + "\" is neither True, False nor a number"};
    return w.SetDeviceEnabled(*enabled), 0;
  }
  if (keyword == "P_DuplicateReceipt") return w.SetDuplicateReceipt(flag(1)), 0;
  if (keyword == "P_FiscalReceiptStation") return w.SetFiscalReceiptStation(number(1)), 0;
  if (keyword == "P_FiscalReceiptType") return w.SetFiscalReceiptType(number(1)), 0;
  if (keyword == "P_FlagWhenIdle") return w.SetFlagWhenIdle(flag(1)), 0;
  if (keyword == "P_FreezeEvents") return w.SetFreezeEvents(flag(1)), 0;
  if (keyword == "P_MessageType") return w.SetMessageType(number(1)), 0;
  if (keyword == "P_PostLine") return w.SetPostLine(text(1)), 0;
  if (keyword == "P_PowerNotify") return w.SetPowerNotify(number(1)), 0;
  if (keyword == "P_PreLine") return w.SetPreLine(text(1)), 0;
  if (keyword == "P_SlipSelection") return w.SetSlipSelection(number(1)), 0;
  if (keyword == "P_TotalizerType") return w.SetTotalizerType(number(1)), 0;

  boxes_.ShowMessage("Unknown command " + line);
  return 0;
}

}  // namespace kelo::macro

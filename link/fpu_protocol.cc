#include "link/fpu_protocol.h"

#include <algorithm>

namespace kelo::link {
namespace {

// One payload field of a command, in the formatter the command's wire form names.
struct Field {
  enum Kind { kDec, kChr, kTxt, kDate, kTime, kEsc } kind;
  int64_t number = 0;
  std::string_view text;
  const FpuDateTime* date_time = nullptr;
};

Field Dec(int64_t v) {
  return {Field::kDec, v, {}, nullptr};
}
Field Chr(char c) {
  return {Field::kChr, static_cast<unsigned char>(c), {}, nullptr};
}
Field Txt(std::string_view s) {
  return {Field::kTxt, 0, s, nullptr};
}
Field Date(const FpuDateTime& d) {
  return {Field::kDate, 0, {}, &d};
}
Field Time(const FpuDateTime& t) {
  return {Field::kTime, 0, {}, &t};
}
Field Esc(std::span<const uint8_t> bytes) {
  return {Field::kEsc, 0, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, nullptr};
}

int32_t AppendFields(FpuCommand& command, std::initializer_list<Field> fields) {
  for (const Field& f : fields) {
    int32_t r = LINK_OK;
    switch (f.kind) {
      case Field::kDec:
        r = command.AppendDecimal(f.number);
        break;
      case Field::kChr:
        r = command.AppendChar(static_cast<char>(f.number));
        break;
      case Field::kTxt:
        r = command.AppendText(f.text);
        break;
      case Field::kDate:
        r = command.AppendDate(*f.date_time);
        break;
      case Field::kTime:
        r = command.AppendTime(*f.date_time);
        break;
      case Field::kEsc:
        r = command.AppendEscaped(reinterpret_cast<const uint8_t*>(f.text.data()), f.text.size());
        break;
    }
    if (r != LINK_OK) return r;
  }
  return LINK_OK;
}

int32_t Int32Field(const std::string& field) {
  return static_cast<int32_t>(DecimalField(field));
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

}  // namespace

FpuProtocol::FpuProtocol(platform::Clock& clock) : FpuChannel(clock) {}

FpuProtocol::~FpuProtocol() = default;

int32_t FpuProtocol::NextJob() {
  int32_t job = next_job_.load();
  // Advance '0'..'9' and back to '0'; a compare-exchange keeps concurrent callers apart.
  while (!next_job_.compare_exchange_weak(job, job >= '9' ? '0' : job + 1)) {
  }
  return job;
}

// ---- Execute --------------------------------------------------------------------------

int32_t FpuProtocol::Execute(FpuCommand& command, FpuResponse* response) {
  std::lock_guard<std::mutex> lock(command_lock_);
  return ExecuteLocked(command, response);
}

int32_t FpuProtocol::ExecuteLocked(FpuCommand& command, FpuResponse* response) {
  int busy = 0;
  int32_t result;
  for (;;) {
    response->Reset();
    result = Transact(command, response);
    if (result != LINK_E_TIMEOUT && response->GetReply() == kReplyInProgress) {
      bool aborted = false;
      result = AwaitProgress(command, response, &aborted);
      if (aborted) return LINK_E_PROTOCOL;
    }
    if (result == LINK_E_TIMEOUT) break;
    if (result == LINK_OK) {
      switch (response->GetReply()) {
        case kReplyDone:
        case kReplyInProgress:
          break;
        case kReplyBusy:
          clock_.SleepMs(kBusyPauseMs);
          break;
        case kReplyRefused83:
          result = LINK_E_REPLY83;
          break;
        case kReplyRefused84:
          result = LINK_E_REPLY84;
          break;
        default:
          result = LINK_E_PROTOCOL;
          break;
      }
    }
    if (response->GetReply() == kReplyBusy && ++busy < kBusyAttempts) continue;
    break;
  }
  // Busy to the last attempt (or a busy reply left from an earlier exchange) is a failure.
  if (response->GetReply() == kReplyBusy) return LINK_E_PROTOCOL;
  return result;
}

int32_t FpuProtocol::AwaitProgress(FpuCommand& command, FpuResponse* response, bool* aborted) {
  int32_t result = LINK_E_TIMEOUT;
  uint32_t status = 0;
  if (!poll_mode()) {
    // Send the same command (same job number) again until the printer stops answering
    // "in progress", or reports through the status word that it never will.
    for (;;) {
      clock_.SleepMs(kProgressPauseMs);
      response->Reset();
      result = Transact(command, response);
      if (result == LINK_E_TIMEOUT) return result;
      if (response->GetReply() != kReplyInProgress) return result;
      GetLastStatus(nullptr, &status, nullptr);
      if (status & kStatusWaitAbortMask) {
        *aborted = true;
        return LINK_E_PROTOCOL;
      }
    }
  }
  // Poll mode: ask for the status until an answer to the query itself arrives.
  FpuCommand query;
  query.SetOpcode(kOpQueryStatus);
  query.ClearPayload();
  query.SetJob(kStatusJob);
  for (;;) {
    clock_.SleepMs(kProgressPauseMs);
    result = Transact(query, response);
    bool last_round = response->GetJob() == kStatusJob;
    GetLastStatus(nullptr, &status, nullptr);
    if (status & kStatusWaitAbortMask) {
      *aborted = true;
      return LINK_E_PROTOCOL;
    }
    if (result == LINK_E_TIMEOUT || last_round) return result;
  }
}

// ---- Building blocks of the commands --------------------------------------------------

namespace {

// Builds opcode and payload, takes a job number (or the status job) and executes.
template <typename Proto>
int32_t Run(Proto& proto, uint8_t opcode, std::initializer_list<Field> fields,
            FpuResponse* response, bool status_job = false) {
  FpuCommand command;
  command.SetOpcode(opcode);
  command.ClearPayload();
  if (AppendFields(command, fields) != LINK_OK) return LINK_E_PROTOCOL;
  command.SetJob(status_job ? kStatusJob : proto.NextJob());
  return proto.Execute(command, response);
}

}  // namespace

#define KELO_RUN(opcode, ...)                             \
  do {                                                    \
    FpuResponse response_;                                \
    return Run(*this, opcode, {__VA_ARGS__}, &response_); \
  } while (0)

// ---- General and device commands ------------------------------------------------------

int32_t FpuProtocol::QueryStatus(FpuDateTime* date_time, uint32_t* flags, int32_t* phase) {
  FpuResponse response;
  int32_t r = Run(*this, kOpQueryStatus, {}, &response, /*status_job=*/true);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.size() < 4) return LINK_E_PROTOCOL;
  if (date_time) {
    DateField(f[0], date_time);
    TimeField(f[1], date_time);
  }
  if (flags) *flags = HexField(f[2]);
  if (phase) *phase = Int32Field(f[3]);
  return LINK_OK;
}

int32_t FpuProtocol::SetDateTime(const FpuDateTime& dt) {
  KELO_RUN(kOpSetDateTime, Date(dt), Time(dt));
}
int32_t FpuProtocol::PrintDailyReport(std::string_view text, int32_t kind) {
  KELO_RUN(kOpPrintDailyReport, Txt(text), Dec(kind));
}

int32_t FpuProtocol::SetVatRates(std::span<const int32_t> rates) {
  FpuCommand command;
  FpuResponse response;
  command.SetOpcode(kOpSetVatRates);
  command.ClearPayload();
  for (int32_t rate : rates) {
    if (command.AppendDecimal(rate) != LINK_OK) return LINK_E_PROTOCOL;
  }
  command.SetJob(NextJob());
  return Execute(command, &response);
}

int32_t FpuProtocol::SetDate(const FpuDateTime& date) {
  KELO_RUN(kOpSetDate, Date(date));
}
int32_t FpuProtocol::SetTime(const FpuDateTime& time) {
  KELO_RUN(kOpSetTime, Time(time));
}
int32_t FpuProtocol::SetHeaderLine(int32_t line, std::string_view text, int32_t attribute) {
  KELO_RUN(kOpSetHeaderLine, Dec(line), Txt(text), Dec(attribute));
}

int32_t FpuProtocol::ReadReportLine(int32_t selector, int32_t* value, std::string* text) {
  FpuResponse response;
  int32_t r = Run(*this, kOpReadReportLine, {Dec(selector)}, &response);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.size() < 2) return LINK_E_PROTOCOL;
  if (value) *value = Int32Field(f[0]);
  if (text) *text = f[1];
  return LINK_OK;
}

int32_t FpuProtocol::BeginFiscalReceipt() {
  KELO_RUN(kOpBeginFiscalReceipt);
}
int32_t FpuProtocol::EndFiscalReceipt() {
  KELO_RUN(kOpEndFiscalReceipt);
}
int32_t FpuProtocol::BeginRefundReceipt(std::string_view text) {
  KELO_RUN(kOpBeginRefundReceipt, Txt(text));
}
int32_t FpuProtocol::EndRefundReceipt() {
  KELO_RUN(kOpEndRefundReceipt);
}
int32_t FpuProtocol::BeginNonFiscal() {
  KELO_RUN(kOpBeginNonFiscal);
}
int32_t FpuProtocol::EndNonFiscal() {
  KELO_RUN(kOpEndNonFiscal);
}
int32_t FpuProtocol::PrintNormalLine(int32_t station, std::string_view line) {
  KELO_RUN(kOpPrintNormalLine, Dec(station), Txt(line));
}
int32_t FpuProtocol::SetTrainingMode(int32_t mode) {
  KELO_RUN(kOpSetTrainingMode, Dec(mode));
}
int32_t FpuProtocol::JournalReport(int32_t destination, int32_t p2, int32_t p3,
                                   const FpuDateTime& from, const FpuDateTime& to, int32_t p6,
                                   int32_t p7) {
  KELO_RUN(kOpJournalReport, Dec(destination), Dec(p2), Dec(p3), Date(from), Date(to), Dec(p6),
           Dec(p7));
}
int32_t FpuProtocol::RequestedReport(int32_t report) {
  KELO_RUN(kOpRequestedReport, Dec(report));
}
int32_t FpuProtocol::ResetPrinter() {
  KELO_RUN(kOpResetPrinter);
}
int32_t FpuProtocol::HealthCheck() {
  KELO_RUN(kOpHealthCheck);
}

int32_t FpuProtocol::GetDataItem(int32_t item, int64_t* value) {
  FpuResponse response;
  int32_t r = Run(*this, kOpGetDataItem, {Dec(item)}, &response);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.empty()) return LINK_E_PROTOCOL;
  if (value) *value = DecimalField(f[0]);
  return LINK_OK;
}

int32_t FpuProtocol::GetTotalizer(int32_t index, int32_t selector, int32_t kind, int64_t* value) {
  FpuResponse response;
  int32_t r = Run(*this, kOpGetTotalizer, {Dec(index), Dec(selector), Dec(kind)}, &response);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.empty()) return LINK_E_PROTOCOL;
  if (value) *value = DecimalField(f[0]);
  return LINK_OK;
}

int32_t FpuProtocol::Command5B(int32_t p1, int32_t p2) {
  KELO_RUN(kOpCommand5B, Dec(p1), Dec(p2));
}
int32_t FpuProtocol::CutPaper(int32_t percentage) {
  KELO_RUN(kOpCutPaper, Dec(percentage <= 90 ? 2 : 1));
}
int32_t FpuProtocol::OpenDrawer() {
  KELO_RUN(kOpOpenDrawer);
}
int32_t FpuProtocol::PrintDuplicate(int32_t value) {
  KELO_RUN(kOpPrintDuplicate, Dec(value));
}
int32_t FpuProtocol::PrintFiscalMemoryReportByDate(int32_t p1, int32_t p3, const FpuDateTime& from,
                                                   const FpuDateTime& to) {
  KELO_RUN(kOpFiscalMemoryReport, Dec(p1), Dec(1), Dec(p3), Date(from), Date(to));
}
int32_t FpuProtocol::PrintFiscalMemoryReportByNumber(int32_t p1, int32_t p3, int32_t from,
                                                     int32_t to) {
  KELO_RUN(kOpFiscalMemoryReport, Dec(p1), Dec(2), Dec(p3), Dec(from), Dec(to));
}

int32_t FpuProtocol::ReadParameters(std::span<const FpuParameterQuery> queries,
                                    std::vector<std::string>* values) {
  values->clear();
  for (size_t first = 0; first < queries.size(); first += kParametersPerCommand) {
    size_t end = std::min(queries.size(), first + kParametersPerCommand);
    FpuCommand command;
    FpuResponse response;
    command.SetOpcode(kOpReadParameters);
    command.ClearPayload();
    for (size_t i = first; i < end; ++i) {
      if (command.AppendHexByte(queries[i].number) != LINK_OK ||
          command.AppendText(queries[i].text) != LINK_OK) {
        return LINK_E_PROTOCOL;
      }
    }
    command.SetJob(NextJob());
    int32_t r = Execute(command, &response);
    if (r != LINK_OK) return r;
    auto f = response.SplitPayload();
    for (size_t i = 2; i < f.size(); i += 3) values->push_back(std::move(f[i]));
  }
  return LINK_OK;
}

int32_t FpuProtocol::WriteParameters(std::span<const FpuPendingParameter> parameters) {
  int32_t result = LINK_OK;
  for (size_t first = 0; first < parameters.size(); first += kParametersPerCommand) {
    size_t end = std::min(parameters.size(), first + kParametersPerCommand);
    FpuCommand command;
    FpuResponse response;
    command.SetOpcode(kOpWriteParameters);
    command.ClearPayload();
    bool fits = true;
    for (size_t i = first; i < end && fits; ++i) {
      fits = command.AppendHexByte(parameters[i].number) == LINK_OK &&
             command.AppendText(parameters[i].first) == LINK_OK &&
             command.AppendText(parameters[i].second) == LINK_OK;
    }
    if (!fits) {
      result = LINK_E_PROTOCOL;  // this group is not sent; the others still are
      continue;
    }
    command.SetJob(NextJob());
    result = Execute(command, &response);
  }
  return result;
}

void FpuProtocol::ClearPendingParameters() {
  pending_.clear();
}

void FpuProtocol::AddPendingParameter(int32_t number, std::string_view first,
                                      std::string_view second) {
  pending_.push_back({number, std::string(first), std::string(second)});
}

int32_t FpuProtocol::FlushPendingParameters() {
  return WriteParameters(pending_);
}

int32_t FpuProtocol::SimulateKey(std::span<const int32_t> keys) {
  if (keys.empty()) return LINK_E_PROTOCOL;
  int32_t result = LINK_OK;
  for (int32_t key : keys) {
    FpuResponse response;
    result = Run(*this, kOpSimulateKey, {Dec(key)}, &response);
  }
  return result;
}

int32_t FpuProtocol::GetDeviceInfo(FpuDeviceInfo* info) {
  FpuResponse response;
  int32_t r = Run(*this, kOpGetDeviceInfo, {Dec(0)}, &response);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.size() < 8) return LINK_E_PROTOCOL;
  // Upper-cased byte by byte, independent of the process locale.
  for (char& c : f[5]) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  info->field0 = Int32Field(f[0]);
  info->field1 = f[1];
  info->field2 = f[2];
  info->field3 = f[3];
  info->field4 = f[4];
  info->field5 = f[5];
  info->field6 = Int32Field(f[6]);
  info->field7 = f[7];
  return LINK_OK;
}

int32_t FpuProtocol::GetDeviceInfo1(std::array<int32_t, 16>* values) {
  FpuResponse response;
  int32_t r = Run(*this, kOpGetDeviceInfo, {Dec(1)}, &response);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.size() < 16) return LINK_E_PROTOCOL;
  for (size_t i = 0; i < 16; ++i) (*values)[i] = Int32Field(f[i]);
  return LINK_OK;
}

int32_t FpuProtocol::GetDeviceInfo2(std::string* text, std::array<int32_t, 4>* values) {
  FpuResponse response;
  int32_t r = Run(*this, kOpGetDeviceInfo, {Dec(2)}, &response);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.size() < 5) return LINK_E_PROTOCOL;
  *text = f[0];
  for (size_t i = 0; i < 4; ++i) (*values)[i] = Int32Field(f[i + 1]);
  return LINK_OK;
}

int32_t FpuProtocol::WriteDeviceFlag(int32_t flag) {
  KELO_RUN(kOpWriteDeviceFlag, Dec(flag & 0xFF));
}

int32_t FpuProtocol::ReadZReportData(FpuZReportData* data) {
  FpuResponse response;
  int32_t r = Run(*this, kOpReadZReportData, {}, &response);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.size() < 8) return LINK_E_PROTOCOL;
  data->number = DecimalField(f[0]);
  data->date = FpuDateTime{};
  if (data->number != 0) DateField(f[1], &data->date);
  for (size_t i = 0; i < 6; ++i) data->values[i] = DecimalField(f[i + 2]);
  return LINK_OK;
}

int32_t FpuProtocol::ReadZReportAmount(int64_t* number, std::string* text, double* amount) {
  FpuResponse response;
  int32_t r = Run(*this, kOpReadZReportAmount, {}, &response);
  if (r != LINK_OK) return r;
  auto f = response.SplitPayload();
  if (f.size() < 3) return LINK_E_PROTOCOL;
  *number = DecimalField(f[0]);
  *text = f[1];
  *amount = RealField(f[2]);
  return LINK_OK;
}

int32_t FpuProtocol::SendRawCommand(std::string_view hex, std::string* reply) {
  std::string upper(hex.substr(0, std::min<size_t>(hex.size(), 4)));
  for (char& c : upper) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  if (upper.size() < 4 || !std::all_of(upper.begin(), upper.end(), IsHexDigit)) {
    return LINK_E_PROTOCOL;
  }
  uint8_t opcode = static_cast<uint8_t>(HexField(upper.substr(0, 2)));
  uint8_t byte = static_cast<uint8_t>(HexField(upper.substr(2, 2)));
  FpuCommand command;
  FpuResponse response;
  command.SetOpcode(opcode);
  command.SetPayload(&byte, 1);  // the byte itself, not a text field
  command.SetJob(NextJob());
  int32_t r = Execute(command, &response);
  if (r != LINK_OK) return r;
  *reply = response.PayloadText();
  return LINK_OK;
}

// ---- Receipt operations ---------------------------------------------------------------

int32_t FpuProtocol::PrintReceiptText(std::string_view text) {
  KELO_RUN(kOpReceipt, Chr(kSubPrintReceiptText), Txt(text));
}
int32_t FpuProtocol::SellItem(std::string_view description, int64_t price, int64_t quantity,
                              int32_t vat_index, int32_t department, int64_t unit_value) {
  KELO_RUN(kOpReceipt, Chr(kSubSellItem), Txt(description), Dec(price), Dec(quantity),
           Dec(vat_index), Dec(department), Dec(unit_value));
}
int32_t FpuProtocol::VoidItem(std::string_view description, int64_t price, int64_t quantity,
                              int32_t vat_index, int32_t department) {
  KELO_RUN(kOpReceipt, Chr(kSubVoidItem), Txt(description), Dec(price), Dec(quantity),
           Dec(vat_index), Dec(department), Dec(0));
}
int32_t FpuProtocol::VoidReceipt() {
  KELO_RUN(kOpReceipt, Chr(kSubVoidReceipt));
}
int32_t FpuProtocol::Total(int64_t amount) {
  KELO_RUN(kOpReceipt, Chr(kSubTotal), Dec(amount));
}
int32_t FpuProtocol::ItemAdjustment(std::string_view description, int64_t amount, int32_t kind,
                                    int32_t vat_index, int32_t department) {
  KELO_RUN(kOpReceipt, Chr(kSubItemAdjustment), Txt(description), Dec(amount), Dec(kind),
           Dec(vat_index), Dec(department));
}
int32_t FpuProtocol::ItemAdjustmentVoid(int64_t amount, int32_t kind, int32_t vat_index,
                                        int32_t department) {
  KELO_RUN(kOpReceipt, Chr(kSubItemAdjustmentVoid), Dec(amount), Dec(kind), Dec(vat_index),
           Dec(department));
}
int32_t FpuProtocol::NotPaid(std::string_view description, int64_t amount) {
  KELO_RUN(kOpReceipt, Chr(kSubNotPaid), Txt(description), Dec(amount));
}
int32_t FpuProtocol::Payment(std::string_view description, int64_t amount, int32_t form) {
  KELO_RUN(kOpReceipt, Chr(kSubPayment), Txt(description), Dec(amount), Dec(form));
}
int32_t FpuProtocol::Subtotal(int64_t amount) {
  KELO_RUN(kOpReceipt, Chr(kSubSubtotal), Dec(amount));
}
int32_t FpuProtocol::EndPayment(int64_t change) {
  KELO_RUN(kOpReceipt, Chr(kSubEndPayment), Dec(change));
}
int32_t FpuProtocol::Refund(std::string_view description, int64_t amount, int32_t vat_index,
                            int32_t department) {
  KELO_RUN(kOpReceipt, Chr(kSubRefund), Txt(description), Dec(amount), Dec(0), Dec(vat_index),
           Dec(department), Dec(0));
}
int32_t FpuProtocol::RefundVoid(std::string_view description, int64_t amount, int32_t vat_index,
                                int32_t department) {
  KELO_RUN(kOpReceipt, Chr(kSubRefundVoid), Txt(description), Dec(amount), Dec(0), Dec(vat_index),
           Dec(department), Dec(0));
}
int32_t FpuProtocol::PrintTrailerText(std::string_view text) {
  KELO_RUN(kOpReceipt, Chr(kSubPrintTrailerText), Txt(text));
}
int32_t FpuProtocol::SubtotalAdjustment(std::string_view description, int64_t amount,
                                        int32_t kind) {
  KELO_RUN(kOpReceipt, Chr(kSubSubtotalAdjustment), Txt(description), Dec(amount), Dec(kind));
}
int32_t FpuProtocol::SubtotalAdjustmentVoid(int64_t amount, int32_t kind) {
  KELO_RUN(kOpReceipt, Chr(kSubSubtotalAdjustmentVoid), Dec(amount), Dec(kind));
}

// ---- Printer graphics and customer display --------------------------------------------

int32_t FpuProtocol::PrinterGraphicBegin(int32_t graphic, int32_t rows) {
  KELO_RUN(kOpPrinterGraphic, Chr(kSubPrinterGraphicBegin), Dec(graphic), Dec(rows));
}
int32_t FpuProtocol::PrinterGraphicRow(std::span<const uint8_t> row) {
  KELO_RUN(kOpPrinterGraphic, Chr(kSubPrinterGraphicRow), Esc(row));
}
int32_t FpuProtocol::PrinterGraphicErase(int32_t graphic) {
  KELO_RUN(kOpPrinterGraphic, Chr(kSubPrinterGraphicErase), Dec(graphic));
}
int32_t FpuProtocol::DisplaySetVideoMode(int32_t mode) {
  KELO_RUN(kOpDisplay, Chr(kSubDisplaySetVideoMode), Dec(mode));
}
int32_t FpuProtocol::DisplayClear() {
  KELO_RUN(kOpDisplay, Chr(kSubDisplayClear));
}
int32_t FpuProtocol::DisplayText(int32_t line, std::string_view text) {
  KELO_RUN(kOpDisplay, Chr(kSubDisplayText), Dec(line), Txt(text));
}
int32_t FpuProtocol::DisplayGraphicBegin(int32_t graphic, int32_t rows) {
  KELO_RUN(kOpDisplay, Chr(kSubDisplayGraphicBegin), Dec(graphic), Dec(rows));
}
int32_t FpuProtocol::DisplayGraphicRow(std::span<const uint8_t> row) {
  KELO_RUN(kOpDisplay, Chr(kSubDisplayGraphicRow), Esc(row));
}
int32_t FpuProtocol::DisplayGraphicErase(int32_t graphic) {
  KELO_RUN(kOpDisplay, Chr(kSubDisplayGraphicErase), Dec(graphic));
}
int32_t FpuProtocol::DisplayGraphicShow(int32_t p1, int32_t p2, std::string_view text, int32_t p4) {
  KELO_RUN(kOpDisplay, Chr(kSubDisplayGraphicShow), Dec(p1), Dec(p2), Txt(text), Dec(p4));
}
int32_t FpuProtocol::DisplayStandbyText(std::string_view text) {
  KELO_RUN(kOpDisplay, Chr(kSubDisplayStandbyText), Txt(text));
}
int32_t FpuProtocol::DisplayStandbyGraphic(int32_t p1, int32_t p2, std::string_view text,
                                           int32_t p4) {
  KELO_RUN(kOpDisplay, Chr(kSubDisplayStandbyGraphic), Dec(p1), Dec(p2), Txt(text), Dec(p4));
}

#undef KELO_RUN

}  // namespace kelo::link

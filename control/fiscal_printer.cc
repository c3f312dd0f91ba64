#include "control/fiscal_printer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "control/service_methods.h"
#include "platform/registry/config_store.h"

namespace kelo::control {

using automation::ComPtr;
using automation::DispId;
using automation::HRESULT;
using automation::IDispatch;
using automation::InvokeKind;
using automation::Variant;

namespace {

constexpr std::string_view kDeviceKeyPrefix =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\";

int32_t ResultLong(const Variant& v, int32_t fallback) {
  int32_t out = 0;
  return automation::Succeeded(v.ToLong(&out)) ? out : fallback;
}

}  // namespace

// Shared between the control object and its callback object, which the service object may
// keep (and call) for a while after the control object is gone.
struct FiscalPrinter::EventSink {
  // Guards the four handlers and the dispatcher; held only to copy them, never while a
  // handler runs.
  std::mutex mutex;
  StatusUpdateHandler status_update;
  OutputCompleteHandler output_complete;
  ErrorHandler error;
  DirectIOHandler direct_io;
  std::shared_ptr<EventDispatcher> dispatcher;
  // Cleared when the control object is destroyed; handlers that were still queued then do
  // not run.
  std::atomic<bool> attached{true};

  // What WaitForOutput waits for, noted as the events come in (before their handlers run).
  // output_mu guards the three fields; held only to read or change them. output_cv is
  // notified at each idle notification.
  std::mutex output_mu;
  std::condition_variable output_cv;
  int32_t last_output_id = 0;  // of the last OutputCompleteEvent
  int32_t stop_code = 0;       // ResultCode of an output ErrorEvent cleared since the last wait
  uint64_t idle_events = 0;    // StatusUpdateEvents FPTR_SUE_IDLE so far
  void NoteOutputComplete(int32_t output_id) {
    std::lock_guard<std::mutex> lock(output_mu);
    last_output_id = output_id;
  }
  void NoteOutputCleared(int32_t code) {
    std::lock_guard<std::mutex> lock(output_mu);
    stop_code = code;
  }
  void NoteIdle() {
    {
      std::lock_guard<std::mutex> lock(output_mu);
      ++idle_events;
    }
    output_cv.notify_all();
  }
};

// The automation object the service object calls back: SODirectIO, SOError,
// SOOutputComplete, SOStatusUpdate and the property ControlObjectVersion.
class FiscalPrinter::Callbacks : public automation::DispatchObject {
 public:
  explicit Callbacks(std::shared_ptr<EventSink> sink)
      : DispatchObject({kCallbackNames.begin(), kCallbackNames.end()}), sink_(std::move(sink)) {}

  HRESULT Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result) override {
    if (id == 5) {  // ControlObjectVersion
      if (result) *result = Variant::Long(kControlObjectVersion);
      return automation::S_OK;
    }
    if (kind != InvokeKind::Method) return automation::DISP_E_MEMBERNOTFOUND;
    switch (id) {
      case 1:
        return DirectIOEvent(args);
      case 2:
        return ErrorEvent(args);
      case 3:
      case 4: {
        if (args.size() != 1) return automation::DISP_E_BADPARAMCOUNT;
        int32_t value = 0;
        if (automation::Failed(args[0].ToLong(&value))) return automation::DISP_E_TYPEMISMATCH;
        std::unique_lock<std::mutex> lock(sink_->mutex);
        auto dispatcher = sink_->dispatcher;
        std::function<void(int32_t)> handler;
        if (id == 3) {
          sink_->NoteOutputComplete(value);
          handler = sink_->output_complete;
        } else {
          if (value == opos::FPTR_SUE_IDLE) sink_->NoteIdle();
          handler = sink_->status_update;
        }
        lock.unlock();
        if (!handler || !sink_->attached) return automation::S_OK;
        dispatcher->Post([sink = sink_, handler = std::move(handler), value] {
          if (sink->attached) handler(value);
        });
        return automation::S_OK;
      }
      default:
        return automation::DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HRESULT ErrorEvent(std::span<Variant> args) {
    if (args.size() != 4) return automation::DISP_E_BADPARAMCOUNT;
    int32_t code = 0, extended = 0, locus = 0, response = 0;
    if (automation::Failed(args[0].ToLong(&code)) ||
        automation::Failed(args[1].ToLong(&extended)) ||
        automation::Failed(args[2].ToLong(&locus)) ||
        automation::Failed(args[3].ToLong(&response))) {
      return automation::DISP_E_TYPEMISMATCH;
    }
    std::unique_lock<std::mutex> lock(sink_->mutex);
    auto dispatcher = sink_->dispatcher;
    ErrorHandler handler = sink_->error;
    lock.unlock();
    if (handler && sink_->attached) {
      // Invoke returns only after the function ran or was withdrawn, so the locals it
      // refers to outlive it.
      dispatcher->Invoke([&] {
        if (sink_->attached) handler(code, extended, locus, response);
      });
    }
    if (int32_t* p = args[3].LongPtr(); p && args[3].LongCount() >= 1) *p = response;
    if (locus == opos::OPOS_EL_OUTPUT && response == opos::OPOS_ER_CLEAR) {
      sink_->NoteOutputCleared(code != 0 ? code : opos::OPOS_E_FAILURE);
    }
    return automation::S_OK;
  }

  HRESULT DirectIOEvent(std::span<Variant> args) {
    if (args.size() != 3) return automation::DISP_E_BADPARAMCOUNT;
    int32_t number = 0, data = 0;
    std::string text;
    if (automation::Failed(args[0].ToLong(&number)) || automation::Failed(args[1].ToLong(&data)) ||
        automation::Failed(args[2].ToText(&text))) {
      return automation::DISP_E_TYPEMISMATCH;
    }
    std::unique_lock<std::mutex> lock(sink_->mutex);
    auto dispatcher = sink_->dispatcher;
    DirectIOHandler handler = sink_->direct_io;
    lock.unlock();
    if (handler && sink_->attached) {
      dispatcher->Invoke([&] {
        if (sink_->attached) handler(number, data, text);
      });
    }
    if (int32_t* p = args[1].LongPtr(); p && args[1].LongCount() >= 1) *p = data;
    if (std::string* s = args[2].TextPtr()) *s = text;
    return automation::S_OK;
  }

  std::shared_ptr<EventSink> sink_;
};

FiscalPrinter::FiscalPrinter(FiscalPrinterOptions options)
    : options_(std::move(options)), sink_(std::make_shared<EventSink>()) {
  sink_->dispatcher =
      options_.dispatcher ? options_.dispatcher : std::make_shared<DirectDispatcher>();
}

FiscalPrinter::~FiscalPrinter() {
  sink_->attached = false;
  if (service_) Close();
}

void FiscalPrinter::SetStatusUpdateHandler(StatusUpdateHandler handler) {
  std::lock_guard<std::mutex> lock(sink_->mutex);
  sink_->status_update = std::move(handler);
}
void FiscalPrinter::SetOutputCompleteHandler(OutputCompleteHandler handler) {
  std::lock_guard<std::mutex> lock(sink_->mutex);
  sink_->output_complete = std::move(handler);
}
void FiscalPrinter::SetErrorHandler(ErrorHandler handler) {
  std::lock_guard<std::mutex> lock(sink_->mutex);
  sink_->error = std::move(handler);
}
void FiscalPrinter::SetDirectIOHandler(DirectIOHandler handler) {
  std::lock_guard<std::mutex> lock(sink_->mutex);
  sink_->direct_io = std::move(handler);
}

int32_t FiscalPrinter::FailOpen(int32_t result_code, int32_t open_result, std::string why) {
  ReleaseService();
  closed_result_code_ = result_code;
  closed_result_code_extended_ = 0;
  closed_error_string_ = std::move(why);
  open_result_ = open_result;
  return result_code;
}

void FiscalPrinter::ReleaseService() {
  // The last reference takes the service object down, which ends its delivery thread: from
  // inside a handler that must happen where the handler's event came from (see
  // InvokeService), not on a thread that event waits for.
  auto service = std::move(service_);
  auto callbacks = std::move(callbacks_);
  ids_.clear();
  OnServiceSide([&] {
    service.Reset();
    callbacks.Reset();
  });
}

void FiscalPrinter::OnServiceSide(const std::function<void()>& fn) {
  std::shared_ptr<EventDispatcher> dispatcher;
  {
    std::lock_guard<std::mutex> lock(sink_->mutex);
    dispatcher = sink_->dispatcher;
  }
  if (!dispatcher->CallOnWaitingRaiser(fn)) fn();
}

HRESULT FiscalPrinter::InvokeService(int method, std::span<Variant> args, Variant* result) {
  // A handler that QueuedDispatcher runs for a synchronous event (error, DirectIO) holds up
  // the service object's delivery thread. Its calls go through that waiting thread, so the
  // service object sees them come from its own callback, as with DirectDispatcher, and does
  // not wait for the callback to end (freezing, releasing, closing).
  HRESULT hr = automation::E_FAIL;
  OnServiceSide([&] { hr = service_->Invoke(ids_[method - 1], InvokeKind::Method, args, result); });
  return hr;
}

int32_t FiscalPrinter::Open(const std::string& device_name) {
  if (service_) {
    open_result_ = opos::OPOS_OR_ALREADYOPEN;
    return opos::OPOS_E_ILLEGAL;
  }
  if (device_name.empty() || device_name.find_first_of("\\[]") != std::string::npos) {
    return FailOpen(opos::OPOS_E_NOEXIST, opos::OPOS_OR_REGBADNAME,
                    "Bad device name \"" + device_name + "\"");
  }
  const std::string key = std::string(kDeviceKeyPrefix) + device_name;
  platform::ConfigStore store(options_.registry_file);
  platform::RegistryData data;
  std::string error;
  if (!store.Load(&data, &error)) {
    return FailOpen(opos::OPOS_E_NOSERVICE, opos::OPOS_OR_REGBADNAME, error);
  }
  const platform::RegKey* device_key = data.FindKey(key);
  if (!device_key) {
    return FailOpen(
        opos::OPOS_E_NOEXIST, opos::OPOS_OR_REGBADNAME,
        "Device \"" + device_name + "\" is not configured: no key " + key + " in " + store.file());
  }
  const platform::RegValue* prog_id = device_key->Find("");
  if (!prog_id || prog_id->kind != platform::RegValue::Kind::String || prog_id->text.empty()) {
    return FailOpen(opos::OPOS_E_NOSERVICE, opos::OPOS_OR_REGPROGID,
                    "The key " + key + " names no service object (its default value)");
  }

  ComPtr<IDispatch> service;
  automation::CreateResult created =
      options_.service_factory
          ? options_.service_factory(prog_id->text, &service)
          : automation::CreateInstanceByProgId(prog_id->text, &service, options_.registry_file);
  if (automation::Failed(created.hr) || !service) {
    return FailOpen(opos::OPOS_E_NOSERVICE, opos::OPOS_OR_CREATE,
                    "Cannot create service object " + prog_id->text + ": " + created.error);
  }

  std::vector<DispId> ids(kServiceMethodCount, automation::DISPID_UNKNOWN);
  for (size_t i = 0; i < kServiceMethodNames.size(); ++i) {
    if (automation::Failed(service->GetIDsOfNames(kServiceMethodNames[i], &ids[i]))) {
      return FailOpen(opos::OPOS_E_NOSERVICE, opos::OPOS_OR_BADIF,
                      "Service object " + prog_id->text + " has no method " +
                          std::string(kServiceMethodNames[i]));
    }
  }
  service_ = std::move(service);
  ids_ = std::move(ids);
  callbacks_ = ComPtr<IDispatch>(new Callbacks(sink_));

  std::vector<Variant> args{Variant::Text("FiscalPrinter"), Variant::Text(device_name),
                            Variant::Dispatch(callbacks_.Get())};
  Variant result;
  const HRESULT hr = InvokeService(kOpenService, args, &result);
  if (automation::Failed(hr)) {
    return FailOpen(opos::OPOS_E_NOSERVICE, opos::OPOS_OR_FAILEDOPEN,
                    "OpenService of " + prog_id->text + " failed");
  }
  const int32_t rc = ResultLong(result, opos::OPOS_E_FAILURE);
  if (rc != opos::OPOS_SUCCESS) {
    // Keep what the service object says about the failure before letting it go.
    const int32_t extended = GetPropertyNumber(opos::PIDX_ResultCodeExtended);
    std::string text = GetPropertyString(opos::PIDX_ErrorString);
    Variant open_result;
    int32_t why = opos::OPOS_OR_FAILEDOPEN;
    if (automation::Succeeded(InvokeService(kGetOpenResult, {}, &open_result))) {
      why = ResultLong(open_result, why);
      if (why == 0) why = opos::OPOS_OR_FAILEDOPEN;
    }
    FailOpen(rc, why, std::move(text));
    closed_result_code_extended_ = extended;
    return rc;
  }
  open_result_ = 0;
  return rc;
}

int32_t FiscalPrinter::Close() {
  if (!service_) {
    closed_result_code_ = opos::OPOS_E_CLOSED;
    closed_result_code_extended_ = 0;
    closed_error_string_.clear();
    return opos::OPOS_E_CLOSED;
  }
  const int32_t rc = Call(kCloseService, {});
  int32_t extended = 0;
  std::string text;
  if (rc != opos::OPOS_SUCCESS) {
    extended = GetPropertyNumber(opos::PIDX_ResultCodeExtended);
    text = GetPropertyString(opos::PIDX_ErrorString);
  }
  ReleaseService();
  closed_result_code_ = rc;
  closed_result_code_extended_ = extended;
  closed_error_string_ = std::move(text);
  return rc;
}

int32_t FiscalPrinter::Call(int method, std::span<Variant> args) {
  if (!service_) {
    closed_result_code_ = opos::OPOS_E_CLOSED;
    closed_result_code_extended_ = 0;
    closed_error_string_.clear();
    return opos::OPOS_E_CLOSED;
  }
  Variant result;
  const HRESULT hr = InvokeService(method, args, &result);
  if (automation::Failed(hr)) return opos::OPOS_E_NOSERVICE;
  return ResultLong(result, opos::OPOS_E_NOSERVICE);
}

int32_t FiscalPrinter::GetPropertyNumber(int32_t index) {
  if (!service_) {
    switch (index) {
      case opos::PIDX_State:
        return opos::OPOS_S_CLOSED;
      case opos::PIDX_ResultCode:
        return closed_result_code_;
      case opos::PIDX_ResultCodeExtended:
        return closed_result_code_extended_;
      default:
        closed_result_code_ = opos::OPOS_E_CLOSED;
        closed_result_code_extended_ = 0;
        return 0;
    }
  }
  std::vector<Variant> args{Variant::Long(index)};
  Variant result;
  if (automation::Failed(InvokeService(kGetPropertyNumber, args, &result))) {
    return 0;
  }
  return ResultLong(result, 0);
}

std::string FiscalPrinter::GetPropertyString(int32_t index) {
  if (!service_) {
    if (index == opos::PIDX_ErrorString) return closed_error_string_;
    closed_result_code_ = opos::OPOS_E_CLOSED;
    closed_result_code_extended_ = 0;
    return {};
  }
  std::vector<Variant> args{Variant::Long(index)};
  Variant result;
  std::string text;
  if (automation::Failed(InvokeService(kGetPropertyString, args, &result)) ||
      automation::Failed(result.ToText(&text))) {
    return {};
  }
  return text;
}

void FiscalPrinter::SetPropertyNumber(int32_t index, int32_t value) {
  if (!service_) {
    closed_result_code_ = opos::OPOS_E_CLOSED;
    closed_result_code_extended_ = 0;
    return;
  }
  std::vector<Variant> args{Variant::Long(index), Variant::Long(value)};
  InvokeService(kSetPropertyNumber, args, nullptr);
}

void FiscalPrinter::SetPropertyString(int32_t index, const std::string& value) {
  if (!service_) {
    closed_result_code_ = opos::OPOS_E_CLOSED;
    closed_result_code_extended_ = 0;
    return;
  }
  std::vector<Variant> args{Variant::Long(index), Variant::Text(value)};
  InvokeService(kSetPropertyString, args, nullptr);
}

int32_t FiscalPrinter::OpenResult() {
  return open_result_;
}

// ---- Common methods ------------------------------------------------------------------------

int32_t FiscalPrinter::ClaimDevice(int32_t timeout_ms) {
  return CallArgs(kClaimDevice, {Variant::Long(timeout_ms)});
}
int32_t FiscalPrinter::ReleaseDevice() {
  return Call(kReleaseDevice, {});
}
int32_t FiscalPrinter::CheckHealth(int32_t level) {
  return CallArgs(kCheckHealth, {Variant::Long(level)});
}
int32_t FiscalPrinter::ClearInput() {
  return Call(kClearInput, {});
}
int32_t FiscalPrinter::ClearInputProperties() {
  return Call(kClearInputProperties, {});
}
int32_t FiscalPrinter::ClearOutput() {
  return Call(kClearOutput, {});
}
int32_t FiscalPrinter::CompareFirmwareVersion(const std::string& firmware_file, int32_t& result) {
  return CallArgs(kCompareFirmwareVersion,
                  {Variant::Text(firmware_file), Variant::LongRef(&result)});
}
int32_t FiscalPrinter::DirectIO(int32_t command, std::span<int32_t> data, std::string& text) {
  int32_t none = 0;
  Variant data_ref =
      data.empty() ? Variant::LongRef(&none) : Variant::LongRef(data.data(), data.size());
  return CallArgs(kDirectIO, {Variant::Long(command), data_ref, Variant::TextRef(&text)});
}
int32_t FiscalPrinter::DirectIO(int32_t command, int32_t& data, std::string& text) {
  return DirectIO(command, std::span<int32_t>(&data, 1), text);
}
int32_t FiscalPrinter::ResetStatistics(const std::string& statistics_buffer) {
  return CallArgs(kResetStatistics, {Variant::Text(statistics_buffer)});
}
int32_t FiscalPrinter::RetrieveStatistics(std::string& statistics_buffer) {
  return CallArgs(kRetrieveStatistics, {Variant::TextRef(&statistics_buffer)});
}
int32_t FiscalPrinter::UpdateFirmware(const std::string& firmware_file) {
  return CallArgs(kUpdateFirmware, {Variant::Text(firmware_file)});
}
int32_t FiscalPrinter::UpdateStatistics(const std::string& statistics_buffer) {
  return CallArgs(kUpdateStatistics, {Variant::Text(statistics_buffer)});
}

// ---- Fiscal methods ------------------------------------------------------------------------

int32_t FiscalPrinter::BeginFiscalDocument(int32_t document_amount) {
  return CallArgs(kBeginFiscalDocument, {Variant::Long(document_amount)});
}
int32_t FiscalPrinter::BeginFiscalReceipt(bool print_header) {
  return CallArgs(kBeginFiscalReceipt, {Variant::Bool(print_header)});
}
int32_t FiscalPrinter::BeginFixedOutput(int32_t station, int32_t document_type) {
  return CallArgs(kBeginFixedOutput, {Variant::Long(station), Variant::Long(document_type)});
}
int32_t FiscalPrinter::BeginInsertion(int32_t timeout_ms) {
  return CallArgs(kBeginInsertion, {Variant::Long(timeout_ms)});
}
int32_t FiscalPrinter::BeginItemList(int32_t vat_id) {
  return CallArgs(kBeginItemList, {Variant::Long(vat_id)});
}
int32_t FiscalPrinter::BeginNonFiscal() {
  return Call(kBeginNonFiscal, {});
}
int32_t FiscalPrinter::BeginRemoval(int32_t timeout_ms) {
  return CallArgs(kBeginRemoval, {Variant::Long(timeout_ms)});
}
int32_t FiscalPrinter::BeginTraining() {
  return Call(kBeginTraining, {});
}
int32_t FiscalPrinter::ClearError() {
  return Call(kClearError, {});
}
int32_t FiscalPrinter::EndFiscalDocument() {
  return Call(kEndFiscalDocument, {});
}
int32_t FiscalPrinter::EndFiscalReceipt(bool print_header) {
  return CallArgs(kEndFiscalReceipt, {Variant::Bool(print_header)});
}
int32_t FiscalPrinter::EndFixedOutput() {
  return Call(kEndFixedOutput, {});
}
int32_t FiscalPrinter::EndInsertion() {
  return Call(kEndInsertion, {});
}
int32_t FiscalPrinter::EndItemList() {
  return Call(kEndItemList, {});
}
int32_t FiscalPrinter::EndNonFiscal() {
  return Call(kEndNonFiscal, {});
}
int32_t FiscalPrinter::EndRemoval() {
  return Call(kEndRemoval, {});
}
int32_t FiscalPrinter::EndTraining() {
  return Call(kEndTraining, {});
}
int32_t FiscalPrinter::GetData(int32_t data_item, int32_t& opt_args, std::string& data) {
  return CallArgs(kGetData,
                  {Variant::Long(data_item), Variant::LongRef(&opt_args), Variant::TextRef(&data)});
}
int32_t FiscalPrinter::GetDate(std::string& date) {
  return CallArgs(kGetDate, {Variant::TextRef(&date)});
}
int32_t FiscalPrinter::GetTotalizer(int32_t vat_id, int32_t opt_args, std::string& data) {
  return CallArgs(kGetTotalizer,
                  {Variant::Long(vat_id), Variant::Long(opt_args), Variant::TextRef(&data)});
}
int32_t FiscalPrinter::GetVatEntry(int32_t vat_id, int32_t opt_args, int32_t& vat_rate) {
  return CallArgs(kGetVatEntry,
                  {Variant::Long(vat_id), Variant::Long(opt_args), Variant::LongRef(&vat_rate)});
}
int32_t FiscalPrinter::PrintDuplicateReceipt() {
  return Call(kPrintDuplicateReceipt, {});
}
int32_t FiscalPrinter::PrintFiscalDocumentLine(const std::string& document_line) {
  return CallArgs(kPrintFiscalDocumentLine, {Variant::Text(document_line)});
}
int32_t FiscalPrinter::PrintFixedOutput(int32_t document_type, int32_t line_number,
                                        const std::string& data) {
  return CallArgs(kPrintFixedOutput,
                  {Variant::Long(document_type), Variant::Long(line_number), Variant::Text(data)});
}
int32_t FiscalPrinter::PrintNormal(int32_t station, const std::string& data) {
  return CallArgs(kPrintNormal, {Variant::Long(station), Variant::Text(data)});
}
int32_t FiscalPrinter::PrintPeriodicTotalsReport(const std::string& date1,
                                                 const std::string& date2) {
  return CallArgs(kPrintPeriodicTotalsReport, {Variant::Text(date1), Variant::Text(date2)});
}
int32_t FiscalPrinter::PrintPowerLossReport() {
  return Call(kPrintPowerLossReport, {});
}
int32_t FiscalPrinter::PrintRecCash(Currency amount) {
  return CallArgs(kPrintRecCash, {Variant::Cy(amount)});
}
int32_t FiscalPrinter::PrintRecItem(const std::string& description, Currency price,
                                    int32_t quantity, int32_t vat_info, Currency unit_price,
                                    const std::string& unit_name) {
  return CallArgs(kPrintRecItem,
                  {Variant::Text(description), Variant::Cy(price), Variant::Long(quantity),
                   Variant::Long(vat_info), Variant::Cy(unit_price), Variant::Text(unit_name)});
}
int32_t FiscalPrinter::PrintRecItemAdjustment(int32_t adjustment_type,
                                              const std::string& description, Currency amount,
                                              int32_t vat_info) {
  return CallArgs(kPrintRecItemAdjustment,
                  {Variant::Long(adjustment_type), Variant::Text(description), Variant::Cy(amount),
                   Variant::Long(vat_info)});
}
int32_t FiscalPrinter::PrintRecItemAdjustmentVoid(int32_t adjustment_type,
                                                  const std::string& description, Currency amount,
                                                  int32_t vat_info) {
  return CallArgs(kPrintRecItemAdjustmentVoid,
                  {Variant::Long(adjustment_type), Variant::Text(description), Variant::Cy(amount),
                   Variant::Long(vat_info)});
}
int32_t FiscalPrinter::PrintRecItemFuel(const std::string& description, Currency price,
                                        int32_t quantity, int32_t vat_info, Currency unit_price,
                                        const std::string& unit_name, Currency special_tax,
                                        const std::string& special_tax_name) {
  return CallArgs(kPrintRecItemFuel,
                  {Variant::Text(description), Variant::Cy(price), Variant::Long(quantity),
                   Variant::Long(vat_info), Variant::Cy(unit_price), Variant::Text(unit_name),
                   Variant::Cy(special_tax), Variant::Text(special_tax_name)});
}
int32_t FiscalPrinter::PrintRecItemFuelVoid(const std::string& description, Currency price,
                                            int32_t vat_info, Currency special_tax) {
  return CallArgs(kPrintRecItemFuelVoid, {Variant::Text(description), Variant::Cy(price),
                                          Variant::Long(vat_info), Variant::Cy(special_tax)});
}
int32_t FiscalPrinter::PrintRecItemVoid(const std::string& description, Currency price,
                                        int32_t quantity, int32_t vat_info, Currency unit_price,
                                        const std::string& unit_name) {
  return CallArgs(kPrintRecItemVoid,
                  {Variant::Text(description), Variant::Cy(price), Variant::Long(quantity),
                   Variant::Long(vat_info), Variant::Cy(unit_price), Variant::Text(unit_name)});
}
int32_t FiscalPrinter::PrintRecMessage(const std::string& message) {
  return CallArgs(kPrintRecMessage, {Variant::Text(message)});
}
int32_t FiscalPrinter::PrintRecNotPaid(const std::string& description, Currency amount) {
  return CallArgs(kPrintRecNotPaid, {Variant::Text(description), Variant::Cy(amount)});
}
int32_t FiscalPrinter::PrintRecPackageAdjustment(int32_t adjustment_type,
                                                 const std::string& description,
                                                 const std::string& vat_adjustment) {
  return CallArgs(
      kPrintRecPackageAdjustment,
      {Variant::Long(adjustment_type), Variant::Text(description), Variant::Text(vat_adjustment)});
}
int32_t FiscalPrinter::PrintRecPackageAdjustVoid(int32_t adjustment_type,
                                                 const std::string& vat_adjustment) {
  return CallArgs(kPrintRecPackageAdjustVoid,
                  {Variant::Long(adjustment_type), Variant::Text(vat_adjustment)});
}
int32_t FiscalPrinter::PrintRecRefund(const std::string& description, Currency amount,
                                      int32_t vat_info) {
  return CallArgs(kPrintRecRefund,
                  {Variant::Text(description), Variant::Cy(amount), Variant::Long(vat_info)});
}
int32_t FiscalPrinter::PrintRecRefundVoid(const std::string& description, Currency amount,
                                          int32_t vat_info) {
  return CallArgs(kPrintRecRefundVoid,
                  {Variant::Text(description), Variant::Cy(amount), Variant::Long(vat_info)});
}
int32_t FiscalPrinter::PrintRecSubtotal(Currency amount) {
  return CallArgs(kPrintRecSubtotal, {Variant::Cy(amount)});
}
int32_t FiscalPrinter::PrintRecSubtotalAdjustment(int32_t adjustment_type,
                                                  const std::string& description, Currency amount) {
  return CallArgs(kPrintRecSubtotalAdjustment, {Variant::Long(adjustment_type),
                                                Variant::Text(description), Variant::Cy(amount)});
}
int32_t FiscalPrinter::PrintRecSubtotalAdjustVoid(int32_t adjustment_type, Currency amount) {
  return CallArgs(kPrintRecSubtotalAdjustVoid,
                  {Variant::Long(adjustment_type), Variant::Cy(amount)});
}
int32_t FiscalPrinter::PrintRecTaxID(const std::string& tax_id) {
  return CallArgs(kPrintRecTaxID, {Variant::Text(tax_id)});
}
int32_t FiscalPrinter::PrintRecTotal(Currency total, Currency payment,
                                     const std::string& description) {
  return CallArgs(kPrintRecTotal,
                  {Variant::Cy(total), Variant::Cy(payment), Variant::Text(description)});
}
int32_t FiscalPrinter::PrintRecVoid(const std::string& description) {
  return CallArgs(kPrintRecVoid, {Variant::Text(description)});
}
int32_t FiscalPrinter::PrintRecVoidItem(const std::string& description, Currency amount,
                                        int32_t quantity, int32_t adjustment_type,
                                        Currency adjustment, int32_t vat_info) {
  return CallArgs(kPrintRecVoidItem, {Variant::Text(description), Variant::Cy(amount),
                                      Variant::Long(quantity), Variant::Long(adjustment_type),
                                      Variant::Cy(adjustment), Variant::Long(vat_info)});
}
int32_t FiscalPrinter::PrintReport(int32_t report_type, const std::string& start_num,
                                   const std::string& end_num) {
  return CallArgs(kPrintReport,
                  {Variant::Long(report_type), Variant::Text(start_num), Variant::Text(end_num)});
}
int32_t FiscalPrinter::PrintXReport() {
  return Call(kPrintXReport, {});
}
int32_t FiscalPrinter::PrintZReport() {
  return Call(kPrintZReport, {});
}
int32_t FiscalPrinter::ResetPrinter() {
  return Call(kResetPrinter, {});
}
int32_t FiscalPrinter::SetCurrency(int32_t new_currency) {
  return CallArgs(kSetCurrency, {Variant::Long(new_currency)});
}
int32_t FiscalPrinter::SetDate(const std::string& date) {
  return CallArgs(kSetDate, {Variant::Text(date)});
}
int32_t FiscalPrinter::SetHeaderLine(int32_t line_number, const std::string& text,
                                     bool double_width) {
  return CallArgs(kSetHeaderLine,
                  {Variant::Long(line_number), Variant::Text(text), Variant::Bool(double_width)});
}
int32_t FiscalPrinter::SetPOSID(const std::string& pos_id, const std::string& cashier_id) {
  return CallArgs(kSetPOSID, {Variant::Text(pos_id), Variant::Text(cashier_id)});
}
int32_t FiscalPrinter::SetStoreFiscalID(const std::string& id) {
  return CallArgs(kSetStoreFiscalID, {Variant::Text(id)});
}
int32_t FiscalPrinter::SetTrailerLine(int32_t line_number, const std::string& text,
                                      bool double_width) {
  return CallArgs(kSetTrailerLine,
                  {Variant::Long(line_number), Variant::Text(text), Variant::Bool(double_width)});
}
int32_t FiscalPrinter::SetVatTable() {
  return Call(kSetVatTable, {});
}
int32_t FiscalPrinter::SetVatValue(int32_t vat_id, const std::string& vat_value) {
  return CallArgs(kSetVatValue, {Variant::Long(vat_id), Variant::Text(vat_value)});
}
int32_t FiscalPrinter::VerifyItem(const std::string& item_name, int32_t vat_id) {
  return CallArgs(kVerifyItem, {Variant::Text(item_name), Variant::Long(vat_id)});
}

// ---- Properties ----------------------------------------------------------------------------

int32_t FiscalPrinter::ActualCurrency() {
  return GetNumber(opos::PIDX_ActualCurrency);
}
std::string FiscalPrinter::AdditionalHeader() {
  return GetString(opos::PIDX_AdditionalHeader);
}
void FiscalPrinter::SetAdditionalHeader(const std::string& value) {
  SetString(opos::PIDX_AdditionalHeader, value);
}
std::string FiscalPrinter::AdditionalTrailer() {
  return GetString(opos::PIDX_AdditionalTrailer);
}
void FiscalPrinter::SetAdditionalTrailer(const std::string& value) {
  SetString(opos::PIDX_AdditionalTrailer, value);
}
int32_t FiscalPrinter::AmountDecimalPlaces() {
  return GetNumber(opos::PIDX_AmountDecimalPlaces);
}
bool FiscalPrinter::AsyncMode() {
  return GetNumber(opos::PIDX_AsyncMode) != 0;
}
void FiscalPrinter::SetAsyncMode(bool value) {
  SetNumber(opos::PIDX_AsyncMode, value ? 1 : 0);
}
int32_t FiscalPrinter::BinaryConversion() {
  return GetNumber(opos::PIDX_BinaryConversion);
}
void FiscalPrinter::SetBinaryConversion(int32_t value) {
  SetNumber(opos::PIDX_BinaryConversion, value);
}
std::string FiscalPrinter::ChangeDue() {
  return GetString(opos::PIDX_ChangeDue);
}
void FiscalPrinter::SetChangeDue(const std::string& value) {
  SetString(opos::PIDX_ChangeDue, value);
}
std::string FiscalPrinter::CheckHealthText() {
  return GetString(opos::PIDX_CheckHealthText);
}
bool FiscalPrinter::CheckTotal() {
  return GetNumber(opos::PIDX_CheckTotal) != 0;
}
void FiscalPrinter::SetCheckTotal(bool value) {
  SetNumber(opos::PIDX_CheckTotal, value ? 1 : 0);
}
bool FiscalPrinter::Claimed() {
  return GetNumber(opos::PIDX_Claimed) != 0;
}
int32_t FiscalPrinter::ContractorId() {
  return GetNumber(opos::PIDX_ContractorId);
}
void FiscalPrinter::SetContractorId(int32_t value) {
  SetNumber(opos::PIDX_ContractorId, value);
}
int32_t FiscalPrinter::CountryCode() {
  return GetNumber(opos::PIDX_CountryCode);
}
bool FiscalPrinter::CoverOpen() {
  return GetNumber(opos::PIDX_CoverOpen) != 0;
}
int32_t FiscalPrinter::DateType() {
  return GetNumber(opos::PIDX_DateType);
}
void FiscalPrinter::SetDateType(int32_t value) {
  SetNumber(opos::PIDX_DateType, value);
}
bool FiscalPrinter::DayOpened() {
  return GetNumber(opos::PIDX_DayOpened) != 0;
}
int32_t FiscalPrinter::DescriptionLength() {
  return GetNumber(opos::PIDX_DescriptionLength);
}
std::string FiscalPrinter::DeviceDescription() {
  return GetString(opos::PIDX_DeviceDescription);
}
bool FiscalPrinter::DeviceEnabled() {
  return GetNumber(opos::PIDX_DeviceEnabled) != 0;
}
void FiscalPrinter::SetDeviceEnabled(bool value) {
  SetNumber(opos::PIDX_DeviceEnabled, value ? 1 : 0);
}
std::string FiscalPrinter::DeviceName() {
  return GetString(opos::PIDX_DeviceName);
}
bool FiscalPrinter::DuplicateReceipt() {
  return GetNumber(opos::PIDX_DuplicateReceipt) != 0;
}
void FiscalPrinter::SetDuplicateReceipt(bool value) {
  SetNumber(opos::PIDX_DuplicateReceipt, value ? 1 : 0);
}
int32_t FiscalPrinter::ErrorLevel() {
  return GetNumber(opos::PIDX_ErrorLevel);
}
int32_t FiscalPrinter::ErrorOutID() {
  return GetNumber(opos::PIDX_ErrorOutID);
}
int32_t FiscalPrinter::ErrorState() {
  return GetNumber(opos::PIDX_ErrorState);
}
int32_t FiscalPrinter::ErrorStation() {
  return GetNumber(opos::PIDX_ErrorStation);
}
std::string FiscalPrinter::ErrorString() {
  return GetString(opos::PIDX_ErrorString);
}
int32_t FiscalPrinter::FiscalReceiptStation() {
  return GetNumber(opos::PIDX_FiscalReceiptStation);
}
void FiscalPrinter::SetFiscalReceiptStation(int32_t value) {
  SetNumber(opos::PIDX_FiscalReceiptStation, value);
}
int32_t FiscalPrinter::FiscalReceiptType() {
  return GetNumber(opos::PIDX_FiscalReceiptType);
}
void FiscalPrinter::SetFiscalReceiptType(int32_t value) {
  SetNumber(opos::PIDX_FiscalReceiptType, value);
}
bool FiscalPrinter::FlagWhenIdle() {
  return GetNumber(opos::PIDX_FlagWhenIdle) != 0;
}
void FiscalPrinter::SetFlagWhenIdle(bool value) {
  SetNumber(opos::PIDX_FlagWhenIdle, value ? 1 : 0);
}
bool FiscalPrinter::FreezeEvents() {
  return GetNumber(opos::PIDX_FreezeEvents) != 0;
}
void FiscalPrinter::SetFreezeEvents(bool value) {
  SetNumber(opos::PIDX_FreezeEvents, value ? 1 : 0);
}
bool FiscalPrinter::JrnEmpty() {
  return GetNumber(opos::PIDX_JrnEmpty) != 0;
}
bool FiscalPrinter::JrnNearEnd() {
  return GetNumber(opos::PIDX_JrnNearEnd) != 0;
}
int32_t FiscalPrinter::MessageLength() {
  return GetNumber(opos::PIDX_MessageLength);
}
int32_t FiscalPrinter::MessageType() {
  return GetNumber(opos::PIDX_MessageType);
}
void FiscalPrinter::SetMessageType(int32_t value) {
  SetNumber(opos::PIDX_MessageType, value);
}
int32_t FiscalPrinter::NumHeaderLines() {
  return GetNumber(opos::PIDX_NumHeaderLines);
}
int32_t FiscalPrinter::NumTrailerLines() {
  return GetNumber(opos::PIDX_NumTrailerLines);
}
int32_t FiscalPrinter::NumVatRates() {
  return GetNumber(opos::PIDX_NumVatRates);
}
int32_t FiscalPrinter::WaitForOutput(int32_t timeout_ms, int32_t* last_output_id) {
  if (!IsOpen()) return opos::OPOS_E_CLOSED;
  uint64_t idle_before = 0;
  {
    std::lock_guard<std::mutex> lock(sink_->output_mu);
    idle_before = sink_->idle_events;
  }
  // The service object raises the idle notification once its queue is empty and nothing
  // runs, after the events of the output before it (they travel in order).
  SetPropertyNumber(opos::PIDX_FlagWhenIdle, 1);
  int32_t result = opos::OPOS_SUCCESS;
  std::unique_lock<std::mutex> lock(sink_->output_mu);
  auto idle = [&] { return sink_->idle_events != idle_before; };
  if (timeout_ms < 0) {
    // Without limit, as asked: the idle notification ends it, or nothing does.
    sink_->output_cv.wait(lock, idle);
  } else if (!sink_->output_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), idle)) {
    result = opos::OPOS_E_TIMEOUT;
  }
  if (result == opos::OPOS_SUCCESS) {
    result = sink_->stop_code;
    sink_->stop_code = 0;
  }
  if (last_output_id) *last_output_id = sink_->last_output_id;
  return result;
}

int32_t FiscalPrinter::OutputID() {
  return GetNumber(opos::PIDX_OutputID);
}
std::string FiscalPrinter::PostLine() {
  return GetString(opos::PIDX_PostLine);
}
void FiscalPrinter::SetPostLine(const std::string& value) {
  SetString(opos::PIDX_PostLine, value);
}
int32_t FiscalPrinter::PowerNotify() {
  return GetNumber(opos::PIDX_PowerNotify);
}
void FiscalPrinter::SetPowerNotify(int32_t value) {
  SetNumber(opos::PIDX_PowerNotify, value);
}
int32_t FiscalPrinter::PowerState() {
  return GetNumber(opos::PIDX_PowerState);
}
std::string FiscalPrinter::PreLine() {
  return GetString(opos::PIDX_PreLine);
}
void FiscalPrinter::SetPreLine(const std::string& value) {
  SetString(opos::PIDX_PreLine, value);
}
std::string FiscalPrinter::PredefinedPaymentLines() {
  return GetString(opos::PIDX_PredefinedPaymentLines);
}
int32_t FiscalPrinter::PrinterState() {
  return GetNumber(opos::PIDX_PrinterState);
}
int32_t FiscalPrinter::QuantityDecimalPlaces() {
  return GetNumber(opos::PIDX_QuantityDecimalPlaces);
}
int32_t FiscalPrinter::QuantityLength() {
  return GetNumber(opos::PIDX_QuantityLength);
}
bool FiscalPrinter::RecEmpty() {
  return GetNumber(opos::PIDX_RecEmpty) != 0;
}
bool FiscalPrinter::RecNearEnd() {
  return GetNumber(opos::PIDX_RecNearEnd) != 0;
}
int32_t FiscalPrinter::RemainingFiscalMemory() {
  return GetNumber(opos::PIDX_RemainingFiscalMemory);
}
std::string FiscalPrinter::ReservedWord() {
  return GetString(opos::PIDX_ReservedWord);
}
int32_t FiscalPrinter::ResultCode() {
  return GetNumber(opos::PIDX_ResultCode);
}
int32_t FiscalPrinter::ResultCodeExtended() {
  return GetNumber(opos::PIDX_ResultCodeExtended);
}
std::string FiscalPrinter::ServiceObjectDescription() {
  return GetString(opos::PIDX_ServiceObjectDescription);
}
int32_t FiscalPrinter::ServiceObjectVersion() {
  return GetNumber(opos::PIDX_ServiceObjectVersion);
}
int32_t FiscalPrinter::SlipSelection() {
  return GetNumber(opos::PIDX_SlipSelection);
}
void FiscalPrinter::SetSlipSelection(int32_t value) {
  SetNumber(opos::PIDX_SlipSelection, value);
}
bool FiscalPrinter::SlpEmpty() {
  return GetNumber(opos::PIDX_SlpEmpty) != 0;
}
bool FiscalPrinter::SlpNearEnd() {
  return GetNumber(opos::PIDX_SlpNearEnd) != 0;
}
int32_t FiscalPrinter::State() {
  return GetNumber(opos::PIDX_State);
}
int32_t FiscalPrinter::TotalizerType() {
  return GetNumber(opos::PIDX_TotalizerType);
}
void FiscalPrinter::SetTotalizerType(int32_t value) {
  SetNumber(opos::PIDX_TotalizerType, value);
}
bool FiscalPrinter::TrainingModeActive() {
  return GetNumber(opos::PIDX_TrainingModeActive) != 0;
}
bool FiscalPrinter::CapAdditionalHeader() {
  return GetNumber(opos::PIDX_CapAdditionalHeader) != 0;
}
bool FiscalPrinter::CapAdditionalLines() {
  return GetNumber(opos::PIDX_CapAdditionalLines) != 0;
}
bool FiscalPrinter::CapAdditionalTrailer() {
  return GetNumber(opos::PIDX_CapAdditionalTrailer) != 0;
}
bool FiscalPrinter::CapAmountAdjustment() {
  return GetNumber(opos::PIDX_CapAmountAdjustment) != 0;
}
bool FiscalPrinter::CapAmountNotPaid() {
  return GetNumber(opos::PIDX_CapAmountNotPaid) != 0;
}
bool FiscalPrinter::CapChangeDue() {
  return GetNumber(opos::PIDX_CapChangeDue) != 0;
}
bool FiscalPrinter::CapCheckTotal() {
  return GetNumber(opos::PIDX_CapCheckTotal) != 0;
}
bool FiscalPrinter::CapCompareFirmwareVersion() {
  return GetNumber(opos::PIDX_CapCompareFirmwareVersion) != 0;
}
bool FiscalPrinter::CapCoverSensor() {
  return GetNumber(opos::PIDX_CapCoverSensor) != 0;
}
bool FiscalPrinter::CapDoubleWidth() {
  return GetNumber(opos::PIDX_CapDoubleWidth) != 0;
}
bool FiscalPrinter::CapDuplicateReceipt() {
  return GetNumber(opos::PIDX_CapDuplicateReceipt) != 0;
}
bool FiscalPrinter::CapEmptyReceiptIsVoidable() {
  return GetNumber(opos::PIDX_CapEmptyReceiptIsVoidable) != 0;
}
bool FiscalPrinter::CapFiscalReceiptStation() {
  return GetNumber(opos::PIDX_CapFiscalReceiptStation) != 0;
}
bool FiscalPrinter::CapFiscalReceiptType() {
  return GetNumber(opos::PIDX_CapFiscalReceiptType) != 0;
}
bool FiscalPrinter::CapFixedOutput() {
  return GetNumber(opos::PIDX_CapFixedOutput) != 0;
}
bool FiscalPrinter::CapHasVatTable() {
  return GetNumber(opos::PIDX_CapHasVatTable) != 0;
}
bool FiscalPrinter::CapIndependentHeader() {
  return GetNumber(opos::PIDX_CapIndependentHeader) != 0;
}
bool FiscalPrinter::CapItemList() {
  return GetNumber(opos::PIDX_CapItemList) != 0;
}
bool FiscalPrinter::CapJrnEmptySensor() {
  return GetNumber(opos::PIDX_CapJrnEmptySensor) != 0;
}
bool FiscalPrinter::CapJrnNearEndSensor() {
  return GetNumber(opos::PIDX_CapJrnNearEndSensor) != 0;
}
bool FiscalPrinter::CapJrnPresent() {
  return GetNumber(opos::PIDX_CapJrnPresent) != 0;
}
bool FiscalPrinter::CapMultiContractor() {
  return GetNumber(opos::PIDX_CapMultiContractor) != 0;
}
bool FiscalPrinter::CapNonFiscalMode() {
  return GetNumber(opos::PIDX_CapNonFiscalMode) != 0;
}
bool FiscalPrinter::CapOnlyVoidLastItem() {
  return GetNumber(opos::PIDX_CapOnlyVoidLastItem) != 0;
}
bool FiscalPrinter::CapOrderAdjustmentFirst() {
  return GetNumber(opos::PIDX_CapOrderAdjustmentFirst) != 0;
}
bool FiscalPrinter::CapPackageAdjustment() {
  return GetNumber(opos::PIDX_CapPackageAdjustment) != 0;
}
bool FiscalPrinter::CapPercentAdjustment() {
  return GetNumber(opos::PIDX_CapPercentAdjustment) != 0;
}
bool FiscalPrinter::CapPositiveAdjustment() {
  return GetNumber(opos::PIDX_CapPositiveAdjustment) != 0;
}
bool FiscalPrinter::CapPostPreLine() {
  return GetNumber(opos::PIDX_CapPostPreLine) != 0;
}
bool FiscalPrinter::CapPowerLossReport() {
  return GetNumber(opos::PIDX_CapPowerLossReport) != 0;
}
bool FiscalPrinter::CapPowerReporting() {
  return GetNumber(opos::PIDX_CapPowerReporting) != 0;
}
bool FiscalPrinter::CapPredefinedPaymentLines() {
  return GetNumber(opos::PIDX_CapPredefinedPaymentLines) != 0;
}
bool FiscalPrinter::CapRecEmptySensor() {
  return GetNumber(opos::PIDX_CapRecEmptySensor) != 0;
}
bool FiscalPrinter::CapRecNearEndSensor() {
  return GetNumber(opos::PIDX_CapRecNearEndSensor) != 0;
}
bool FiscalPrinter::CapRecPresent() {
  return GetNumber(opos::PIDX_CapRecPresent) != 0;
}
bool FiscalPrinter::CapReceiptNotPaid() {
  return GetNumber(opos::PIDX_CapReceiptNotPaid) != 0;
}
bool FiscalPrinter::CapRemainingFiscalMemory() {
  return GetNumber(opos::PIDX_CapRemainingFiscalMemory) != 0;
}
bool FiscalPrinter::CapReservedWord() {
  return GetNumber(opos::PIDX_CapReservedWord) != 0;
}
bool FiscalPrinter::CapSetCurrency() {
  return GetNumber(opos::PIDX_CapSetCurrency) != 0;
}
bool FiscalPrinter::CapSetHeader() {
  return GetNumber(opos::PIDX_CapSetHeader) != 0;
}
bool FiscalPrinter::CapSetPOSID() {
  return GetNumber(opos::PIDX_CapSetPOSID) != 0;
}
bool FiscalPrinter::CapSetStoreFiscalID() {
  return GetNumber(opos::PIDX_CapSetStoreFiscalID) != 0;
}
bool FiscalPrinter::CapSetTrailer() {
  return GetNumber(opos::PIDX_CapSetTrailer) != 0;
}
bool FiscalPrinter::CapSetVatTable() {
  return GetNumber(opos::PIDX_CapSetVatTable) != 0;
}
bool FiscalPrinter::CapSlpEmptySensor() {
  return GetNumber(opos::PIDX_CapSlpEmptySensor) != 0;
}
bool FiscalPrinter::CapSlpFiscalDocument() {
  return GetNumber(opos::PIDX_CapSlpFiscalDocument) != 0;
}
bool FiscalPrinter::CapSlpFullSlip() {
  return GetNumber(opos::PIDX_CapSlpFullSlip) != 0;
}
bool FiscalPrinter::CapSlpNearEndSensor() {
  return GetNumber(opos::PIDX_CapSlpNearEndSensor) != 0;
}
bool FiscalPrinter::CapSlpPresent() {
  return GetNumber(opos::PIDX_CapSlpPresent) != 0;
}
bool FiscalPrinter::CapSlpValidation() {
  return GetNumber(opos::PIDX_CapSlpValidation) != 0;
}
bool FiscalPrinter::CapStatisticsReporting() {
  return GetNumber(opos::PIDX_CapStatisticsReporting) != 0;
}
bool FiscalPrinter::CapSubAmountAdjustment() {
  return GetNumber(opos::PIDX_CapSubAmountAdjustment) != 0;
}
bool FiscalPrinter::CapSubPercentAdjustment() {
  return GetNumber(opos::PIDX_CapSubPercentAdjustment) != 0;
}
bool FiscalPrinter::CapSubtotal() {
  return GetNumber(opos::PIDX_CapSubtotal) != 0;
}
bool FiscalPrinter::CapTotalizerType() {
  return GetNumber(opos::PIDX_CapTotalizerType) != 0;
}
bool FiscalPrinter::CapTrainingMode() {
  return GetNumber(opos::PIDX_CapTrainingMode) != 0;
}
bool FiscalPrinter::CapUpdateFirmware() {
  return GetNumber(opos::PIDX_CapUpdateFirmware) != 0;
}
bool FiscalPrinter::CapUpdateStatistics() {
  return GetNumber(opos::PIDX_CapUpdateStatistics) != 0;
}
bool FiscalPrinter::CapValidateJournal() {
  return GetNumber(opos::PIDX_CapValidateJournal) != 0;
}
bool FiscalPrinter::CapXReport() {
  return GetNumber(opos::PIDX_CapXReport) != 0;
}

}  // namespace kelo::control

#include "control/fiscal_printer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

#include "control/service_methods.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/loader.h"
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
struct EventSink {
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
class Callbacks : public automation::DispatchObject {
 public:
  explicit Callbacks(std::shared_ptr<EventSink> sink)
      : DispatchObject({kCallbackNames.begin(), kCallbackNames.end()}), sink_(std::move(sink)) {}

  HRESULT Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result) override {
    if (id == 5) {  // ControlObjectVersion
      if (result) *result = Variant::Long(FiscalPrinter::kControlObjectVersion);
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

// Everything the object holds; behind a pointer so that the public header shows nothing of
// the automation layer.
struct FiscalPrinter::Impl {
  explicit Impl(FiscalPrinterOptions o)
      : options(std::move(o)), sink(std::make_shared<EventSink>()) {
    sink->dispatcher =
        options.dispatcher ? options.dispatcher : std::make_shared<DirectDispatcher>();
  }

  // Every call into the service object goes through here. A handler that QueuedDispatcher
  // runs for a synchronous event (error, DirectIO) holds up the service object's delivery
  // thread; its calls go through that waiting thread, so the service object sees them come
  // from its own callback, as with DirectDispatcher, and does not wait for the callback to end
  // (freezing, releasing, closing).
  HRESULT Invoke(ServiceMethod method, std::span<Variant> args, Variant* result) {
    HRESULT hr = automation::E_FAIL;
    OnServiceSide([&] {
      hr = service->Invoke(ids[static_cast<size_t>(method) - 1], InvokeKind::Method, args, result);
    });
    return hr;
  }
  // Runs fn on the thread the dispatcher picks (see EventDispatcher::CallOnWaitingRaiser).
  void OnServiceSide(const std::function<void()>& fn) {
    std::shared_ptr<EventDispatcher> dispatcher;
    {
      std::lock_guard<std::mutex> lock(sink->mutex);
      dispatcher = sink->dispatcher;
    }
    if (!dispatcher->CallOnWaitingRaiser(fn)) fn();
  }
  // While closed: what the closed control reports after a refused call.
  int32_t Closed() {
    closed_result_code = opos::OPOS_E_CLOSED;
    closed_result_code_extended = 0;
    closed_error_string.clear();
    return opos::OPOS_E_CLOSED;
  }

  FiscalPrinterOptions options;
  std::shared_ptr<EventSink> sink;
  ComPtr<IDispatch> service;
  ComPtr<IDispatch> callbacks;
  std::vector<DispId> ids;  // service method ids, by table position
  // What the closed control reports (the codes of the last Open or Close, or 101).
  int32_t closed_result_code = opos::OPOS_E_CLOSED;
  int32_t closed_result_code_extended = 0;
  std::string closed_error_string;
  int32_t open_result = 0;
};

namespace {

// The variant of one argument, by its C++ type.
Variant ArgVariant(int32_t v) {
  return Variant::Long(v);
}
Variant ArgVariant(bool v) {
  return Variant::Bool(v);
}
Variant ArgVariant(Currency v) {
  return Variant::Cy(v.value);
}
Variant ArgVariant(const std::string& v) {
  return Variant::Text(v);
}
Variant ArgVariant(int32_t* v) {
  return Variant::LongRef(v);
}
Variant ArgVariant(std::string* v) {
  return Variant::TextRef(v);
}
Variant ArgVariant(std::span<int32_t> v) {
  return Variant::LongRef(v.data(), v.size());
}
template <typename T>
Variant ArgVariant(T) = delete;  // no conversion to another kind

}  // namespace

FiscalPrinter::FiscalPrinter(FiscalPrinterOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

FiscalPrinter::~FiscalPrinter() {
  if (!impl_) return;
  impl_->sink->attached = false;
  if (impl_->service) (void)Close();  // nobody is left to read the result
}

FiscalPrinter::FiscalPrinter(FiscalPrinter&& other) noexcept = default;

FiscalPrinter& FiscalPrinter::operator=(FiscalPrinter&& other) noexcept {
  if (this != &other) {
    FiscalPrinter old(std::move(*this));  // closes what this object had open
    impl_ = std::move(other.impl_);
  }
  return *this;
}

bool FiscalPrinter::IsOpen() const {
  return impl_->service != nullptr;
}

void FiscalPrinter::SetStatusUpdateHandler(StatusUpdateHandler handler) {
  std::lock_guard<std::mutex> lock(impl_->sink->mutex);
  impl_->sink->status_update = std::move(handler);
}
void FiscalPrinter::SetOutputCompleteHandler(OutputCompleteHandler handler) {
  std::lock_guard<std::mutex> lock(impl_->sink->mutex);
  impl_->sink->output_complete = std::move(handler);
}
void FiscalPrinter::SetErrorHandler(ErrorHandler handler) {
  std::lock_guard<std::mutex> lock(impl_->sink->mutex);
  impl_->sink->error = std::move(handler);
}
void FiscalPrinter::SetDirectIOHandler(DirectIOHandler handler) {
  std::lock_guard<std::mutex> lock(impl_->sink->mutex);
  impl_->sink->direct_io = std::move(handler);
}

template <typename... A>
int32_t FiscalPrinter::Call(ServiceMethod method, const A&... args) {
  if (!impl_->service) return impl_->Closed();
  std::array<Variant, sizeof...(A)> variants{ArgVariant(args)...};
  Variant result;
  if (automation::Failed(impl_->Invoke(method, variants, &result))) return opos::OPOS_E_NOSERVICE;
  return ResultLong(result, opos::OPOS_E_NOSERVICE);
}

int32_t FiscalPrinter::FailOpen(int32_t result_code, int32_t open_result, std::string why) {
  ReleaseService();
  impl_->closed_result_code = result_code;
  impl_->closed_result_code_extended = 0;
  impl_->closed_error_string = std::move(why);
  impl_->open_result = open_result;
  return result_code;
}

void FiscalPrinter::ReleaseService() {
  // The last reference takes the service object down, which ends its delivery thread: from
  // inside a handler that must happen where the handler's event came from (see Impl::Invoke),
  // not on a thread that event waits for.
  auto service = std::move(impl_->service);
  auto callbacks = std::move(impl_->callbacks);
  impl_->ids.clear();
  impl_->OnServiceSide([&] {
    service.Reset();
    callbacks.Reset();
  });
}

int32_t FiscalPrinter::Open(const std::string& device_name) {
  if (impl_->service) {
    impl_->open_result = opos::OPOS_OR_ALREADYOPEN;
    return opos::OPOS_E_ILLEGAL;
  }
  if (device_name.empty() || device_name.find_first_of("\\[]") != std::string::npos) {
    return FailOpen(opos::OPOS_E_NOEXIST, opos::OPOS_OR_REGBADNAME,
                    "Bad device name \"" + device_name + "\"");
  }
  const std::string key = std::string(kDeviceKeyPrefix) + device_name;
  platform::ConfigStore store(impl_->options.registry_file);
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
      impl_->options.service_factory ? impl_->options.service_factory(prog_id->text, &service)
                                     : automation::CreateInstanceByProgId(
                                           prog_id->text, &service, impl_->options.registry_file);
  if (automation::Failed(created.hr) || !service) {
    return FailOpen(opos::OPOS_E_NOSERVICE, opos::OPOS_OR_CREATE,
                    "Cannot create service object " + prog_id->text + ": " + created.error);
  }

  std::vector<DispId> ids(kServiceMethodNames.size(), automation::DISPID_UNKNOWN);
  for (size_t i = 0; i < kServiceMethodNames.size(); ++i) {
    if (automation::Failed(service->GetIDsOfNames(kServiceMethodNames[i], &ids[i]))) {
      return FailOpen(opos::OPOS_E_NOSERVICE, opos::OPOS_OR_BADIF,
                      "Service object " + prog_id->text + " has no method " +
                          std::string(kServiceMethodNames[i]));
    }
  }
  impl_->service = std::move(service);
  impl_->ids = std::move(ids);
  impl_->callbacks = ComPtr<IDispatch>(new Callbacks(impl_->sink));

  std::vector<Variant> args{Variant::Text("FiscalPrinter"), Variant::Text(device_name),
                            Variant::Dispatch(impl_->callbacks.Get())};
  Variant result;
  const HRESULT hr = impl_->Invoke(ServiceMethod::OpenService, args, &result);
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
    if (automation::Succeeded(impl_->Invoke(ServiceMethod::GetOpenResult, {}, &open_result))) {
      why = ResultLong(open_result, why);
      if (why == 0) why = opos::OPOS_OR_FAILEDOPEN;
    }
    FailOpen(rc, why, std::move(text));
    impl_->closed_result_code_extended = extended;
    return rc;
  }
  impl_->open_result = 0;
  return rc;
}

int32_t FiscalPrinter::Close() {
  if (!impl_->service) return impl_->Closed();
  const int32_t rc = Call(ServiceMethod::CloseService);
  int32_t extended = 0;
  std::string text;
  if (rc != opos::OPOS_SUCCESS) {
    extended = GetPropertyNumber(opos::PIDX_ResultCodeExtended);
    text = GetPropertyString(opos::PIDX_ErrorString);
  }
  ReleaseService();
  impl_->closed_result_code = rc;
  impl_->closed_result_code_extended = extended;
  impl_->closed_error_string = std::move(text);
  return rc;
}

int32_t FiscalPrinter::GetPropertyNumber(int32_t index) {
  if (!impl_->service) {
    switch (index) {
      case opos::PIDX_State:
        return opos::OPOS_S_CLOSED;
      case opos::PIDX_ResultCode:
        return impl_->closed_result_code;
      case opos::PIDX_ResultCodeExtended:
        return impl_->closed_result_code_extended;
      default:
        impl_->closed_result_code = opos::OPOS_E_CLOSED;
        impl_->closed_result_code_extended = 0;
        return 0;
    }
  }
  std::array<Variant, 1> args{Variant::Long(index)};
  Variant result;
  if (automation::Failed(impl_->Invoke(ServiceMethod::GetPropertyNumber, args, &result))) return 0;
  return ResultLong(result, 0);
}

std::string FiscalPrinter::GetPropertyString(int32_t index) {
  if (!impl_->service) {
    if (index == opos::PIDX_ErrorString) return impl_->closed_error_string;
    impl_->closed_result_code = opos::OPOS_E_CLOSED;
    impl_->closed_result_code_extended = 0;
    return {};
  }
  std::array<Variant, 1> args{Variant::Long(index)};
  Variant result;
  std::string text;
  if (automation::Failed(impl_->Invoke(ServiceMethod::GetPropertyString, args, &result)) ||
      automation::Failed(result.ToText(&text))) {
    return {};
  }
  return text;
}

void FiscalPrinter::SetPropertyNumber(int32_t index, int32_t value) {
  if (!impl_->service) {
    impl_->closed_result_code = opos::OPOS_E_CLOSED;
    impl_->closed_result_code_extended = 0;
    return;
  }
  std::array<Variant, 2> args{Variant::Long(index), Variant::Long(value)};
  // A refusal shows in ResultCode, which the caller reads.
  (void)impl_->Invoke(ServiceMethod::SetPropertyNumber, args, nullptr);
}

void FiscalPrinter::SetPropertyString(int32_t index, const std::string& value) {
  if (!impl_->service) {
    impl_->closed_result_code = opos::OPOS_E_CLOSED;
    impl_->closed_result_code_extended = 0;
    return;
  }
  std::array<Variant, 2> args{Variant::Long(index), Variant::Text(value)};
  (void)impl_->Invoke(ServiceMethod::SetPropertyString, args, nullptr);
}

int32_t FiscalPrinter::OpenResult() {
  return impl_->open_result;
}

// ---- Methods: each a call by name with its arguments ---------------------------------------

using M = ServiceMethod;

int32_t FiscalPrinter::ClaimDevice(int32_t timeout_ms) {
  return Call(M::ClaimDevice, timeout_ms);
}
int32_t FiscalPrinter::ReleaseDevice() {
  return Call(M::ReleaseDevice);
}
int32_t FiscalPrinter::CheckHealth(int32_t level) {
  return Call(M::CheckHealth, level);
}
int32_t FiscalPrinter::ClearInput() {
  return Call(M::ClearInput);
}
int32_t FiscalPrinter::ClearInputProperties() {
  return Call(M::ClearInputProperties);
}
int32_t FiscalPrinter::ClearOutput() {
  return Call(M::ClearOutput);
}
int32_t FiscalPrinter::CompareFirmwareVersion(const std::string& firmware_file, int32_t& result) {
  return Call(M::CompareFirmwareVersion, firmware_file, &result);
}
int32_t FiscalPrinter::DirectIO(int32_t command, std::span<int32_t> data, std::string& text) {
  int32_t none = 0;
  if (data.empty()) data = std::span<int32_t>(&none, 1);
  return Call(M::DirectIO, command, data, &text);
}
int32_t FiscalPrinter::DirectIO(int32_t command, int32_t& data, std::string& text) {
  return DirectIO(command, std::span<int32_t>(&data, 1), text);
}
int32_t FiscalPrinter::ResetStatistics(const std::string& statistics_buffer) {
  return Call(M::ResetStatistics, statistics_buffer);
}
int32_t FiscalPrinter::RetrieveStatistics(std::string& statistics_buffer) {
  return Call(M::RetrieveStatistics, &statistics_buffer);
}
int32_t FiscalPrinter::UpdateFirmware(const std::string& firmware_file) {
  return Call(M::UpdateFirmware, firmware_file);
}
int32_t FiscalPrinter::UpdateStatistics(const std::string& statistics_buffer) {
  return Call(M::UpdateStatistics, statistics_buffer);
}
int32_t FiscalPrinter::BeginFiscalDocument(int32_t document_amount) {
  return Call(M::beginFiscalDocument, document_amount);
}
int32_t FiscalPrinter::BeginFiscalReceipt(bool print_header) {
  return Call(M::beginFiscalReceipt, print_header);
}
int32_t FiscalPrinter::BeginFixedOutput(int32_t station, int32_t document_type) {
  return Call(M::beginFixedOutput, station, document_type);
}
int32_t FiscalPrinter::BeginInsertion(int32_t timeout_ms) {
  return Call(M::beginInsertion, timeout_ms);
}
int32_t FiscalPrinter::BeginItemList(int32_t vat_id) {
  return Call(M::beginItemList, vat_id);
}
int32_t FiscalPrinter::BeginNonFiscal() {
  return Call(M::beginNonFiscal);
}
int32_t FiscalPrinter::BeginRemoval(int32_t timeout_ms) {
  return Call(M::beginRemoval, timeout_ms);
}
int32_t FiscalPrinter::BeginTraining() {
  return Call(M::beginTraining);
}
int32_t FiscalPrinter::ClearError() {
  return Call(M::clearError);
}
int32_t FiscalPrinter::EndFiscalDocument() {
  return Call(M::endFiscalDocument);
}
int32_t FiscalPrinter::EndFiscalReceipt(bool print_header) {
  return Call(M::endFiscalReceipt, print_header);
}
int32_t FiscalPrinter::EndFixedOutput() {
  return Call(M::endFixedOutput);
}
int32_t FiscalPrinter::EndInsertion() {
  return Call(M::endInsertion);
}
int32_t FiscalPrinter::EndItemList() {
  return Call(M::endItemList);
}
int32_t FiscalPrinter::EndNonFiscal() {
  return Call(M::endNonFiscal);
}
int32_t FiscalPrinter::EndRemoval() {
  return Call(M::endRemoval);
}
int32_t FiscalPrinter::EndTraining() {
  return Call(M::endTraining);
}
int32_t FiscalPrinter::GetData(int32_t data_item, int32_t& opt_args, std::string& data) {
  return Call(M::getData, data_item, &opt_args, &data);
}
int32_t FiscalPrinter::GetDate(std::string& date) {
  return Call(M::getDate, &date);
}
int32_t FiscalPrinter::GetTotalizer(int32_t vat_id, int32_t opt_args, std::string& data) {
  return Call(M::getTotalizer, vat_id, opt_args, &data);
}
int32_t FiscalPrinter::GetVatEntry(int32_t vat_id, int32_t opt_args, int32_t& vat_rate) {
  return Call(M::getVatEntry, vat_id, opt_args, &vat_rate);
}
int32_t FiscalPrinter::PrintDuplicateReceipt() {
  return Call(M::printDuplicateReceipt);
}
int32_t FiscalPrinter::PrintFiscalDocumentLine(const std::string& document_line) {
  return Call(M::printFiscalDocumentLine, document_line);
}
int32_t FiscalPrinter::PrintFixedOutput(int32_t document_type, int32_t line_number,
                                        const std::string& data) {
  return Call(M::printFixedOutput, document_type, line_number, data);
}
int32_t FiscalPrinter::PrintNormal(int32_t station, const std::string& data) {
  return Call(M::printNormal, station, data);
}
int32_t FiscalPrinter::PrintPeriodicTotalsReport(const std::string& date1,
                                                 const std::string& date2) {
  return Call(M::printPeriodicTotalsReport, date1, date2);
}
int32_t FiscalPrinter::PrintPowerLossReport() {
  return Call(M::printPowerLossReport);
}
int32_t FiscalPrinter::PrintRecCash(Currency amount) {
  return Call(M::printRecCash, amount);
}
int32_t FiscalPrinter::PrintRecItem(const std::string& description, Currency price,
                                    int32_t quantity, int32_t vat_info, Currency unit_price,
                                    const std::string& unit_name) {
  return Call(M::printRecItem, description, price, quantity, vat_info, unit_price, unit_name);
}
int32_t FiscalPrinter::PrintRecItemAdjustment(int32_t adjustment_type,
                                              const std::string& description, Currency amount,
                                              int32_t vat_info) {
  return Call(M::printRecItemAdjustment, adjustment_type, description, amount, vat_info);
}
int32_t FiscalPrinter::PrintRecItemAdjustmentVoid(int32_t adjustment_type,
                                                  const std::string& description, Currency amount,
                                                  int32_t vat_info) {
  return Call(M::printRecItemAdjustmentVoid, adjustment_type, description, amount, vat_info);
}
int32_t FiscalPrinter::PrintRecItemFuel(const std::string& description, Currency price,
                                        int32_t quantity, int32_t vat_info, Currency unit_price,
                                        const std::string& unit_name, Currency special_tax,
                                        const std::string& special_tax_name) {
  return Call(M::printRecItemFuel, description, price, quantity, vat_info, unit_price, unit_name,
              special_tax, special_tax_name);
}
int32_t FiscalPrinter::PrintRecItemFuelVoid(const std::string& description, Currency price,
                                            int32_t vat_info, Currency special_tax) {
  return Call(M::printRecItemFuelVoid, description, price, vat_info, special_tax);
}
int32_t FiscalPrinter::PrintRecItemVoid(const std::string& description, Currency price,
                                        int32_t quantity, int32_t vat_info, Currency unit_price,
                                        const std::string& unit_name) {
  return Call(M::printRecItemVoid, description, price, quantity, vat_info, unit_price, unit_name);
}
int32_t FiscalPrinter::PrintRecMessage(const std::string& message) {
  return Call(M::printRecMessage, message);
}
int32_t FiscalPrinter::PrintRecNotPaid(const std::string& description, Currency amount) {
  return Call(M::printRecNotPaid, description, amount);
}
int32_t FiscalPrinter::PrintRecPackageAdjustment(int32_t adjustment_type,
                                                 const std::string& description,
                                                 const std::string& vat_adjustment) {
  return Call(M::printRecPackageAdjustment, adjustment_type, description, vat_adjustment);
}
int32_t FiscalPrinter::PrintRecPackageAdjustVoid(int32_t adjustment_type,
                                                 const std::string& vat_adjustment) {
  return Call(M::printRecPackageAdjustVoid, adjustment_type, vat_adjustment);
}
int32_t FiscalPrinter::PrintRecRefund(const std::string& description, Currency amount,
                                      int32_t vat_info) {
  return Call(M::printRecRefund, description, amount, vat_info);
}
int32_t FiscalPrinter::PrintRecRefundVoid(const std::string& description, Currency amount,
                                          int32_t vat_info) {
  return Call(M::printRecRefundVoid, description, amount, vat_info);
}
int32_t FiscalPrinter::PrintRecSubtotal(Currency amount) {
  return Call(M::printRecSubtotal, amount);
}
int32_t FiscalPrinter::PrintRecSubtotalAdjustment(int32_t adjustment_type,
                                                  const std::string& description, Currency amount) {
  return Call(M::printRecSubtotalAdjustment, adjustment_type, description, amount);
}
int32_t FiscalPrinter::PrintRecSubtotalAdjustVoid(int32_t adjustment_type, Currency amount) {
  return Call(M::printRecSubtotalAdjustVoid, adjustment_type, amount);
}
int32_t FiscalPrinter::PrintRecTaxID(const std::string& tax_id) {
  return Call(M::printRecTaxID, tax_id);
}
int32_t FiscalPrinter::PrintRecTotal(Currency total, Currency payment,
                                     const std::string& description) {
  return Call(M::printRecTotal, total, payment, description);
}
int32_t FiscalPrinter::PrintRecVoid(const std::string& description) {
  return Call(M::printRecVoid, description);
}
int32_t FiscalPrinter::PrintRecVoidItem(const std::string& description, Currency amount,
                                        int32_t quantity, int32_t adjustment_type,
                                        Currency adjustment, int32_t vat_info) {
  return Call(M::printRecVoidItem, description, amount, quantity, adjustment_type, adjustment,
              vat_info);
}
int32_t FiscalPrinter::PrintReport(int32_t report_type, const std::string& start_num,
                                   const std::string& end_num) {
  return Call(M::printReport, report_type, start_num, end_num);
}
int32_t FiscalPrinter::PrintXReport() {
  return Call(M::printXReport);
}
int32_t FiscalPrinter::PrintZReport() {
  return Call(M::printZReport);
}
int32_t FiscalPrinter::ResetPrinter() {
  return Call(M::resetPrinter);
}
int32_t FiscalPrinter::SetCurrency(int32_t new_currency) {
  return Call(M::setCurrency, new_currency);
}
int32_t FiscalPrinter::SetDate(const std::string& date) {
  return Call(M::setDate, date);
}
int32_t FiscalPrinter::SetHeaderLine(int32_t line_number, const std::string& text,
                                     bool double_width) {
  return Call(M::setHeaderLine, line_number, text, double_width);
}
int32_t FiscalPrinter::SetPOSID(const std::string& pos_id, const std::string& cashier_id) {
  return Call(M::setPOSID, pos_id, cashier_id);
}
int32_t FiscalPrinter::SetStoreFiscalID(const std::string& id) {
  return Call(M::setStoreFiscalID, id);
}
int32_t FiscalPrinter::SetTrailerLine(int32_t line_number, const std::string& text,
                                      bool double_width) {
  return Call(M::setTrailerLine, line_number, text, double_width);
}
int32_t FiscalPrinter::SetVatTable() {
  return Call(M::setVatTable);
}
int32_t FiscalPrinter::SetVatValue(int32_t vat_id, const std::string& vat_value) {
  return Call(M::setVatValue, vat_id, vat_value);
}
int32_t FiscalPrinter::VerifyItem(const std::string& item_name, int32_t vat_id) {
  return Call(M::verifyItem, item_name, vat_id);
}

// ---- Properties (opos/properties.def) ------------------------------------------------------

#define KELO_CONTROL_Long(name)                  \
  int32_t FiscalPrinter::name() {                \
    return GetPropertyNumber(opos::PIDX_##name); \
  }
#define KELO_CONTROL_Bool(name)                       \
  bool FiscalPrinter::name() {                        \
    return GetPropertyNumber(opos::PIDX_##name) != 0; \
  }
#define KELO_CONTROL_Text(name)                  \
  std::string FiscalPrinter::name() {            \
    return GetPropertyString(opos::PIDX_##name); \
  }
#define KELO_CONTROL_SET_RO(name, type)
#define KELO_CONTROL_SET_RW(name, type) KELO_CONTROL_SET_##type(name)
#define KELO_CONTROL_SET_Long(name)              \
  void FiscalPrinter::Set##name(int32_t value) { \
    SetPropertyNumber(opos::PIDX_##name, value); \
  }
#define KELO_CONTROL_SET_Bool(name)                      \
  void FiscalPrinter::Set##name(bool value) {            \
    SetPropertyNumber(opos::PIDX_##name, value ? 1 : 0); \
  }
#define KELO_CONTROL_SET_Text(name)                         \
  void FiscalPrinter::Set##name(const std::string& value) { \
    SetPropertyString(opos::PIDX_##name, value);            \
  }
#define KELO_PROPERTY(name, index, type, access, service_default) \
  KELO_CONTROL_##type(name) KELO_CONTROL_SET_##access(name, type)
#include "opos/properties.def"
#undef KELO_PROPERTY

int32_t FiscalPrinter::WaitForOutput(int32_t timeout_ms, int32_t* last_output_id) {
  if (!IsOpen()) return opos::OPOS_E_CLOSED;
  EventSink& sink = *impl_->sink;
  uint64_t idle_before = 0;
  {
    std::lock_guard<std::mutex> lock(sink.output_mu);
    idle_before = sink.idle_events;
  }
  // The service object raises the idle notification once its queue is empty and nothing
  // runs, after the events of the output before it (they travel in order).
  SetPropertyNumber(opos::PIDX_FlagWhenIdle, 1);
  int32_t result = opos::OPOS_SUCCESS;
  std::unique_lock<std::mutex> lock(sink.output_mu);
  auto idle = [&] { return sink.idle_events != idle_before; };
  if (timeout_ms < 0) {
    // Without limit, as asked: the idle notification ends it, or nothing does.
    sink.output_cv.wait(lock, idle);
  } else if (!sink.output_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), idle)) {
    result = opos::OPOS_E_TIMEOUT;
  }
  if (result == opos::OPOS_SUCCESS) {
    result = sink.stop_code;
    sink.stop_code = 0;
  }
  if (last_output_id) *last_output_id = sink.last_output_id;
  return result;
}

}  // namespace kelo::control

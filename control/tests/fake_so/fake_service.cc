#include "control/tests/fake_so/fake_service.h"

#include <array>
#include <string_view>

#include "control/service_methods.h"
#include "opos/opos_constants.h"

namespace kelo::control::testing {

using automation::DispId;
using automation::HRESULT;
using automation::InvokeKind;
using automation::Variant;

namespace {

std::string Render(const Variant& v) {
  switch (v.type()) {
    case automation::VarType::Bool:
    case automation::VarType::BoolRef:
      return v.AsBool() ? "True" : "False";
    case automation::VarType::Currency:
    case automation::VarType::CurrencyRef:
      return std::to_string(v.AsCurrencyRaw());
    case automation::VarType::Dispatch:
      return "<dispatch>";
    case automation::VarType::LongRef: {
      std::string out = std::to_string(v.LongPtr()[0]);
      for (size_t i = 1; i < v.LongCount(); ++i) out += "|" + std::to_string(v.LongPtr()[i]);
      return out;
    }
    default:
      return v.AsText();
  }
}

class FakeService : public automation::DispatchObject {
 public:
  explicit FakeService(std::shared_ptr<FakeServiceState> state)
      : DispatchObject({kServiceMethodNames.begin(), kServiceMethodNames.end()}),
        state_(std::move(state)) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->live_instances;
  }

  HRESULT Invoke(DispId id, InvokeKind, std::span<Variant> args, Variant* result) override {
    if (id < 1 || id > static_cast<DispId>(kServiceMethodNames.size()))
      return automation::DISP_E_MEMBERNOTFOUND;
    std::string call = std::string(kServiceMethodNames[id - 1]) + "(";
    for (size_t i = 0; i < args.size(); ++i) call += (i ? ", " : "") + Render(args[i]);
    call += ")";
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->calls.push_back(call);
    }
    switch (static_cast<ServiceMethod>(id)) {
      case ServiceMethod::OpenService:
        return OpenService(args, result);
      case ServiceMethod::CloseService: {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->control.Reset();
        state_->numbers[opos::PIDX_State] = opos::OPOS_S_CLOSED;
        break;
      }
      case ServiceMethod::GetPropertyNumber: {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (result) *result = Variant::Long(state_->numbers[args[0].AsLong()]);
        return automation::S_OK;
      }
      case ServiceMethod::GetPropertyString: {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (result) *result = Variant::Text(state_->strings[args[0].AsLong()]);
        return automation::S_OK;
      }
      case ServiceMethod::SetPropertyNumber: {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->numbers[args[0].AsLong()] = args[1].AsLong();
        return automation::S_OK;
      }
      case ServiceMethod::SetPropertyString: {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->strings[args[0].AsLong()] = args[1].AsText();
        return automation::S_OK;
      }
      case ServiceMethod::GetOpenResult:
        if (result) *result = Variant::Long(opos::OPOS_OR_FAILEDOPEN + 100);
        return automation::S_OK;
      case ServiceMethod::getData:
        if (args.size() == 3 && args[2].TextPtr()) *args[2].TextPtr() = "2500";
        break;
      case ServiceMethod::getDate:
        if (args.size() == 1 && args[0].TextPtr()) *args[0].TextPtr() = "081220260930";
        break;
      case ServiceMethod::getVatEntry:
        if (args.size() == 3 && args[2].LongPtr()) *args[2].LongPtr() = 2200;
        break;
      case ServiceMethod::DirectIO:
        // Echo: every data element plus one, the string with "-ok" appended.
        if (args.size() == 3 && args[1].LongPtr()) {
          for (size_t i = 0; i < args[1].LongCount(); ++i) args[1].LongPtr()[i] += 1;
        }
        if (args.size() == 3 && args[2].TextPtr()) *args[2].TextPtr() += "-ok";
        break;
      default:
        break;
    }
    std::lock_guard<std::mutex> lock(state_->mutex);
    int32_t rc = state_->next_result;
    if (rc == 0) {
      auto it = state_->results_by_method.find(std::string(kServiceMethodNames[id - 1]));
      if (it != state_->results_by_method.end()) rc = it->second;
    }
    state_->numbers[opos::PIDX_ResultCode] = rc;
    state_->numbers[opos::PIDX_ResultCodeExtended] = state_->next_extended;
    state_->strings[opos::PIDX_ErrorString] = state_->next_error;
    state_->next_result = 0;
    state_->next_extended = 0;
    state_->next_error.clear();
    if (result) *result = Variant::Long(rc);
    return automation::S_OK;
  }

 protected:
  ~FakeService() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    --state_->live_instances;
  }

 private:
  HRESULT OpenService(std::span<Variant> args, Variant* result) {
    if (args.size() != 3) return automation::DISP_E_BADPARAMCOUNT;
    automation::ComPtr<automation::IDispatch> control;
    if (automation::Failed(args[2].ToDispatch(&control)) || !control) {
      return automation::DISP_E_TYPEMISMATCH;
    }
    DispId ids[5];
    bool bound = true;
    for (size_t i = 0; i < kCallbackNames.size(); ++i) {
      if (automation::Failed(control->GetIDsOfNames(kCallbackNames[i], &ids[i]))) bound = false;
    }
    int32_t version = 0;
    if (bound) {
      Variant v;
      if (automation::Succeeded(control->Invoke(ids[4], InvokeKind::PropertyGet, {}, &v))) {
        version = v.AsLong();
      }
    }
    std::lock_guard<std::mutex> lock(state_->mutex);
    int32_t rc = bound ? state_->open_service_result : opos::OPOS_E_FAILURE;
    if (rc == 0) {
      state_->control = control;
      std::copy(std::begin(ids), std::end(ids), state_->callback_ids);
      state_->control_object_version = version;
      state_->numbers[opos::PIDX_State] = opos::OPOS_S_IDLE;
      state_->strings[opos::PIDX_ErrorString].clear();
    } else {
      state_->strings[opos::PIDX_ErrorString] = bound ? "Configuration errors" : "Dispatch errors";
      state_->numbers[opos::PIDX_ResultCodeExtended] = 0;
    }
    state_->numbers[opos::PIDX_ResultCode] = rc;
    if (result) *result = Variant::Long(rc);
    return automation::S_OK;
  }

  std::shared_ptr<FakeServiceState> state_;
};

}  // namespace

void FakeServiceState::Reset() {
  std::lock_guard<std::mutex> lock(mutex);
  calls.clear();
  next_result = next_extended = 0;
  next_error.clear();
  results_by_method.clear();
  open_service_result = 0;
  numbers.clear();
  strings.clear();
  numbers[opos::PIDX_State] = opos::OPOS_S_CLOSED;
  numbers[opos::PIDX_ResultCode] = opos::OPOS_E_CLOSED;
  control.Reset();
  control_object_version = 0;
}

std::vector<std::string> FakeServiceState::TakeCalls() {
  std::lock_guard<std::mutex> lock(mutex);
  return std::exchange(calls, {});
}

namespace {
// Copies the callback binding under the lock so the call itself runs unlocked.
bool Binding(FakeServiceState& s, int which, automation::ComPtr<automation::IDispatch>* control,
             DispId* id) {
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.control) return false;
  *control = s.control;
  *id = s.callback_ids[which];
  return true;
}
}  // namespace

void FakeServiceState::RaiseStatusUpdate(int32_t data) {
  automation::ComPtr<automation::IDispatch> c;
  DispId id;
  if (!Binding(*this, 3, &c, &id)) return;
  std::array<Variant, 1> args{Variant::Long(data)};
  c->Invoke(id, InvokeKind::Method, args, nullptr);
}

void FakeServiceState::RaiseOutputComplete(int32_t output_id) {
  automation::ComPtr<automation::IDispatch> c;
  DispId id;
  if (!Binding(*this, 2, &c, &id)) return;
  std::array<Variant, 1> args{Variant::Long(output_id)};
  c->Invoke(id, InvokeKind::Method, args, nullptr);
}

int32_t FakeServiceState::RaiseError(int32_t code, int32_t extended, int32_t locus,
                                     int32_t preset) {
  automation::ComPtr<automation::IDispatch> c;
  DispId id;
  int32_t response = preset;
  if (!Binding(*this, 1, &c, &id)) return response;
  std::array<Variant, 4> args{Variant::Long(code), Variant::Long(extended), Variant::Long(locus),
                              Variant::LongRef(&response)};
  c->Invoke(id, InvokeKind::Method, args, nullptr);
  return response;
}

void FakeServiceState::RaiseDirectIO(int32_t number, int32_t* data, std::string* text) {
  automation::ComPtr<automation::IDispatch> c;
  DispId id;
  if (!Binding(*this, 0, &c, &id)) return;
  std::array<Variant, 3> args{Variant::Long(number), Variant::LongRef(data),
                              Variant::TextRef(text)};
  c->Invoke(id, InvokeKind::Method, args, nullptr);
}

automation::IDispatch* NewFakeService(std::shared_ptr<FakeServiceState> state) {
  auto* service = new FakeService(std::move(state));
  service->AddRef();
  return service;
}

}  // namespace kelo::control::testing

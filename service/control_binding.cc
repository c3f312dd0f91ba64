#include "service/control_binding.h"

#include <array>

#include "opos/opos_constants.h"
#include "platform/text/cp1252.h"

namespace kelo::service {

using automation::InvokeKind;
using automation::Variant;

namespace {
constexpr const char* kNames[ControlBinding::kCount] = {"SODirectIO", "SOError", "SOOutputComplete",
                                                        "SOStatusUpdate", "ControlObjectVersion"};
}

int32_t ControlBinding::Bind(automation::IDispatch* control) {
  Reset();
  if (!control) return opos::OPOS_E_FAILURE;
  automation::DispId ids[kCount] = {};
  for (int i = 0; i < kCount; ++i) {
    if (automation::Failed(control->GetIDsOfNames(kNames[i], &ids[i]))) return opos::OPOS_E_FAILURE;
  }
  control_ = automation::ComPtr<automation::IDispatch>(control);
  for (int i = 0; i < kCount; ++i) ids_[i] = ids[i];
  return opos::OPOS_SUCCESS;
}

void ControlBinding::Reset() {
  control_.Reset();
  for (auto& id : ids_) id = 0;
}

int32_t ControlBinding::ReadVersion() const {
  if (!control_) return 0;
  Variant result;
  if (automation::Failed(control_->Invoke(ids_[kVersion], InvokeKind::PropertyGet, {}, &result))) {
    return 0;
  }
  return result.AsLong(0);
}

void ControlBinding::CallDirectIO(int32_t event_number, int32_t* data, std::string* text) const {
  if (!control_) return;
  std::string utf8 = platform::Cp1252ToUtf8(*text);
  std::array<Variant, 3> args = {Variant::Long(event_number), Variant::LongRef(data, 1),
                                 Variant::TextRef(&utf8)};
  control_->Invoke(ids_[kDirectIO], InvokeKind::Method, args, nullptr);
  *text = platform::Utf8ToCp1252(utf8);
}

void ControlBinding::CallError(int32_t result_code, int32_t extended, int32_t locus,
                               int32_t* response) const {
  if (!control_) return;
  std::array<Variant, 4> args = {Variant::Long(result_code), Variant::Long(extended),
                                 Variant::Long(locus), Variant::LongRef(response, 1)};
  control_->Invoke(ids_[kError], InvokeKind::Method, args, nullptr);
}

void ControlBinding::CallOutputComplete(int32_t output_id) const {
  if (!control_) return;
  std::array<Variant, 1> args = {Variant::Long(output_id)};
  control_->Invoke(ids_[kOutputComplete], InvokeKind::Method, args, nullptr);
}

void ControlBinding::CallStatusUpdate(int32_t data) const {
  if (!control_) return;
  std::array<Variant, 1> args = {Variant::Long(data)};
  control_->Invoke(ids_[kStatusUpdate], InvokeKind::Method, args, nullptr);
}

}  // namespace kelo::service

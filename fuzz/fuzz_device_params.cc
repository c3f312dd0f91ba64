// Parameter texts from the application and status values from the printer, through the
// device operations: every field split, number conversion, line cut and payment parse must
// stay inside its buffers whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/device_operations.h"
#include "device/device_status_block.h"
#include "device/line_composer.h"
#include "device/parameter_text.h"
#include "opos/opos_constants.h"
#include "testing/device_fakes.h"

namespace {

using kelo::device::DeviceOp;
using kelo::device::DeviceOperations;

const DeviceOp kOps[] = {
    &DeviceOperations::DoBeginFiscalReceipt,
    &DeviceOperations::DoEndFiscalReceipt,
    &DeviceOperations::DoBeginRefundReceipt,
    &DeviceOperations::DoEndRefundReceipt,
    &DeviceOperations::DoPrintRecItem,
    &DeviceOperations::DoPrintRecItemAdjustment,
    &DeviceOperations::DoPrintRecItemAdjustmentVoid,
    &DeviceOperations::DoPrintRecItemVoid,
    &DeviceOperations::DoPrintRecMessage,
    &DeviceOperations::DoPrintRecNotPaid,
    &DeviceOperations::DoPrintRecRefund,
    &DeviceOperations::DoPrintRecRefundVoid,
    &DeviceOperations::DoPrintRecSubtotal,
    &DeviceOperations::DoPrintRecSubtotalAdjustment,
    &DeviceOperations::DoPrintRecVoid,
    &DeviceOperations::DoPrintRecVoidItem,
    &DeviceOperations::DoPrintRecTotal,
    &DeviceOperations::DoPrintXReport,
    &DeviceOperations::DoGetDate,
    &DeviceOperations::DoPrintReportByDate,
    &DeviceOperations::DoPrintReportByNumber,
    &DeviceOperations::DoPrintPeriodicTotalsReport,
    &DeviceOperations::DoGetData,
    &DeviceOperations::DoGetTotalizer,
    &DeviceOperations::DoSetDate,
    &DeviceOperations::DoSetHeaderLine,
    &DeviceOperations::DoGetVatEntry,
    &DeviceOperations::DoBeginNonFiscal,
    &DeviceOperations::DoEndNonFiscal,
    &DeviceOperations::DoPrintNormal,
};
constexpr size_t kOpCount = sizeof kOps / sizeof kOps[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const DeviceOp op = kOps[data[0] % kOpCount];
  const int32_t state = data[1] % 11;
  const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);

  kelo::device::testing::FakeDevice device;
  kelo::device::testing::FakeHost host;
  host.SetNumberProperty(kelo::opos::PIDX_PrinterState, state);
  host.SetNumberProperty(kelo::opos::PIDX_AsyncMode, data[1] >> 7);
  host.SetStringProperty(kelo::opos::PIDX_PreLine, input.substr(0, 8));
  DeviceOperations ops(device, host);
  std::string output;
  (ops.*op)(input, output);

  kelo::device::ParamFields fields(input, 1 + data[1] % 16);
  (void)fields.Date(0);
  (void)kelo::device::ParsePaymentDescription(input);
  (void)kelo::device::SplitPrintLines(input, 1 + data[1] % 8, data[1] & 1);

  if (size >= 10) {
    uint32_t flags, status;
    int32_t fatal;
    std::memcpy(&flags, data + 2, 4);
    std::memcpy(&status, data + 6, 4);
    fatal = static_cast<int8_t>(data[1]) * 3;
    kelo::device::DeviceStatusBlock block;
    kelo::device::ApplyProbeAnswer(&block, flags, static_cast<int32_t>(status));
    kelo::device::ApplyLastStatus(&block, fatal, status);
    (void)block.AnyErrorWord();
  }
  return 0;
}

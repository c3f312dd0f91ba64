// DirectIO inputs from the application: any command number with a data array of any length
// and any text, through the data checks, the parameter-text builder, the key and department
// lists, the department records and the date records, and through the DirectIO device
// operations on a device without a printer. Nothing may read or write outside the caller's
// array or its own buffers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/device_operations.h"
#include "device/directio_text.h"
#include "device/parameter_text.h"
#include "testing/device_fakes.h"

namespace {

using kelo::device::DeviceOp;
using kelo::device::DeviceOperations;

const DeviceOp kOps[] = {
    &DeviceOperations::DoSimulateKeyboard, &DeviceOperations::DoDepartmentConfig,
    &DeviceOperations::DoSetPollingTime,   &DeviceOperations::DoReportEj,
    &DeviceOperations::DoReportRequest,    &DeviceOperations::DoDisplayBmpShow,
};

const int32_t kCommands[] = {1000, 1001, 1002, 1100, 1101, 1102, 1200, 1300, 1301, 1302,
                             1303, 1304, 1305, 1306, 1307, 1308, 1400, 1401, 1500, 1501,
                             1502, 1600, 9000, 9001, 9002, 9003, 9004, 9999, 1234};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelo::device;
  if (size < 2) return 0;
  const size_t selector = data[0];
  const int32_t command = kCommands[selector % (sizeof kCommands / sizeof kCommands[0])];
  const size_t count = data[1] % 9;
  data += 2;
  size -= 2;
  // The caller's array, exactly count elements long on the heap so any overrun is seen.
  std::unique_ptr<int32_t[]> elements(new int32_t[count > 0 ? count : 1]);
  for (size_t i = 0; i < count; ++i) {
    int32_t v = 0;
    if (size >= 4) {
      std::memcpy(&v, data, 4);
      data += 4;
      size -= 4;
    }
    elements[i] = v;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::span<const int32_t> span(elements.get(), count);

  const size_t needed = DirectIODataNeeded(command, span);
  std::string input;
  if (count >= needed) BuildDirectIOInput(command, span, text, &input);
  (void)DeprecatedDirectIOText(command);

  std::vector<int32_t> keys;
  std::string why;
  ParseKeyList(text, &keys, &why);
  std::vector<DepartmentLink> links;
  if (ParseDepartmentLinks(text, &links, &why)) (void)FormatDepartmentLinks(links);
  (void)DepartmentRecordVat(text);
  std::string record;
  ReplaceDepartmentRecordVat(text, 3, &record);
  std::vector<std::string> fields;
  ParamFields split(text, 8);
  for (size_t i = 0; i < 8; ++i) fields.push_back(split.Text(i));
  (void)DateRecordAt(fields, 0);
  (void)DateRecordAt(fields, 5);

  // The operations themselves, on parameter texts of any shape, with no printer behind them.
  testing::FakeDevice device;
  testing::FakeHost host;
  DeviceOperations ops(device, host);
  std::string output;
  const DeviceOp op = kOps[selector / 29 % (sizeof kOps / sizeof kOps[0])];
  (ops.*op)(input.empty() ? text : input, output);
  return 0;
}

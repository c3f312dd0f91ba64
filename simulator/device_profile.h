// What the printer says about itself: the device-information records the driver reads when
// it claims the printer, and the sizes and limits the printer enforces. Every value can be
// changed so that a test can present an older or unsupported printer.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace kelo::sim {

inline constexpr int kMaxVatRates = 9;  // configurable rates; one more index is the default
inline constexpr int kMaxDepartments = 99;
inline constexpr int kMaxPaymentForms = 20;

struct DeviceProfile {
  // GetDeviceInfo 0: eight fields.
  int32_t device_type = 1;                        // field 0
  std::string model_name = "KELO FPU-80";         // field 1
  std::string firmware_text = "KELO FW 5.04.01";  // field 2
  // field 3: the version number the driver compares with 5035000 (at or below it the driver
  // waits for in-progress commands by polling the status).
  std::string firmware_version = "5040100";
  std::string printer_id = "KL80-0001234";      // field 4
  std::string country = "IT";                   // field 5 (the driver upper-cases it)
  int32_t build = 1207;                         // field 6
  std::string fiscal_memory_id = "FM00451277";  // field 7
  // Fields actually sent for GetDeviceInfo 0; fewer than 8 makes the driver's read fail
  // ("Unsupported or older device").
  int device_info_fields = 8;

  // GetDeviceInfo 1: sixteen values (counted from 1 as the driver does).
  int32_t vat_rates = 4;                 // 1: number of configurable VAT rates
  int32_t departments = 10;              // 2
  int32_t message_length = 42;           // 3: longest receipt message line
  int32_t description_length = 38;       // 4: longest item description
  int32_t print_width = 42;              // 5: print columns
  int32_t fiscal_memory_records = 1825;  // 6: Z reports the fiscal memory holds
  int32_t journal_documents = 20000;     // 7: documents the electronic journal keeps
  int32_t country_code = 39;             // 8
  int32_t header_lines = 6;              // 9
  int32_t trailer_lines = 4;             // 10
  int32_t display_lines = 2;             // 11: customer display text lines
  int32_t payment_forms = 11;            // 12: payment lines 0 .. n-1
  int32_t logo_width = 384;              // 13
  int32_t logo_height = 256;             // 14
  int32_t logo_width2 = 0;               // 15 (0: the driver uses value 13)
  int32_t logo_height2 = 0;              // 16 (0: the driver uses value 14)

  // GetDeviceInfo 2: display model and its four image limits.
  std::string display_model = "VFD 2X20 GRAPHIC";
  int32_t display_width = 140;
  int32_t display_height = 32;
  int32_t display_width2 = 0;
  int32_t display_height2 = 0;
  int32_t display_columns = 20;

  bool fiscalized = true;           // flag bit 0 of the status query
  uint32_t drawer_close_ms = 3000;  // the drawer reports closed this long after opening; 0 never
  std::string currency = "EUR";
};

}  // namespace kelo::sim

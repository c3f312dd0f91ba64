// The texts of the DirectIO commands: which elements of the caller's data array a command
// needs, the parameter text handed to its device operation, the key and department lists and
// the department records. Pure functions (no printer), so every parser here can be fuzzed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/fpu_frame.h"

namespace kelo::device {

// Command numbers.
namespace directio {
inline constexpr int32_t kDrawerOpen = 1000;
inline constexpr int32_t kDrawerGet = 1001;
inline constexpr int32_t kDrawerWait = 1002;
inline constexpr int32_t kBmpLoad = 1100;
inline constexpr int32_t kBmpPrint = 1101;
inline constexpr int32_t kBmpErase = 1102;
inline constexpr int32_t kBarcodePrint = 1200;
inline constexpr int32_t kDySetMode = 1300;
inline constexpr int32_t kDyClear = 1301;
inline constexpr int32_t kDyPrintText = 1302;
inline constexpr int32_t kDyBmpLoad = 1303;
inline constexpr int32_t kDyBmpErase = 1304;
inline constexpr int32_t kDyBmpShow = 1305;
inline constexpr int32_t kDyBmpNow = 1306;
inline constexpr int32_t kDySbyText = 1307;
inline constexpr int32_t kDySbyBmp = 1308;
inline constexpr int32_t kCreditNoteBegin = 1400;
inline constexpr int32_t kCreditNoteEnd = 1401;
inline constexpr int32_t kReportEj = 1500;
inline constexpr int32_t kReportX = 1501;
inline constexpr int32_t kReportRequest = 1502;
inline constexpr int32_t kResetTotalizers = 1600;
inline constexpr int32_t kSimulateKeyboard = 9000;
inline constexpr int32_t kDepartmentCfg = 9001;
inline constexpr int32_t kGetVirtualTicket = 9002;
inline constexpr int32_t kSetPollingTime = 9003;
inline constexpr int32_t kSetDeviceFlag = 9004;
inline constexpr int32_t kDebug = 9999;

// The display image number DY_BMPNOW loads its picture under before showing it.
inline constexpr int32_t kImmediateImage = 999;
// Most entries a key or department list may hold.
inline constexpr size_t kMaxListEntries = 500;
// Pause between looks at the drawer while DRAWER_WAIT waits.
inline constexpr uint32_t kDrawerWaitStepMs = 50;
// The parameter number of a department record.
inline constexpr int32_t kDepartmentParameter = 2944;
// The field of a department record that holds its VAT link (counting from 0).
inline constexpr size_t kDepartmentVatField = 5;
}  // namespace directio

// The text of a deprecated command (115): "<NAME> directIO can't be used with this version";
// empty for any other command.
std::string DeprecatedDirectIOText(int32_t command);

// How many elements of the caller's data array the command reads or writes (0 for those that
// use none); for SETPOLLINGTIME it depends on data[0]. A caller passing fewer gets 106.
size_t DirectIODataNeeded(int32_t command, std::span<const int32_t> data);

// A date element YYYYMMDD as the eight fields of a date-time record, each followed by the
// separator: year, month, day of week 0, day, then hour, minute, second, milliseconds 0.
void AppendDateRecord(std::string* out, int32_t yyyymmdd);
// The eight fields from position first of fields back into a date-time record.
link::FpuDateTime DateRecordAt(const std::vector<std::string>& fields, size_t first);

// The parameter text of a command that runs on the worker thread, from the caller's data
// (at least DirectIODataNeeded elements) and text. False for a command that does not reach
// the printer.
bool BuildDirectIOInput(int32_t command, std::span<const int32_t> data, std::string_view text,
                        std::string* input);

// SIMULATE_KEYBOARD: decimal key codes separated by ",". Empty parts are skipped (an empty
// text gives an empty list); a part that is not a number, or more than kMaxListEntries codes,
// is refused with a reason.
bool ParseKeyList(std::string_view text, std::vector<int32_t>* keys, std::string* why);

// One entry of DEPARTMENTCFG: department number and VAT link (0 none, 1 = "A", ...).
struct DepartmentLink {
  int32_t department = 0;
  int32_t vat_link = 0;
  friend bool operator==(const DepartmentLink&, const DepartmentLink&) = default;
};
// "1a,2x": entries separated by ",", each a department number and one letter (case does
// not matter; "X" means no link). An empty entry, an entry without its letter, a department
// that is not a positive decimal number, or more than kMaxListEntries entries refuse the
// whole list with a reason.
bool ParseDepartmentLinks(std::string_view text, std::vector<DepartmentLink>* links,
                          std::string* why);
// "1A,2X,3B": the read answer; link 0 as "X", any other as the character 64 + link.
std::string FormatDepartmentLinks(const std::vector<DepartmentLink>& links);

// Field 5 of a department record (fields separated by ":"); 0 when it is missing.
int32_t DepartmentRecordVat(std::string_view record);
// The record with field 5 replaced by vat_index; false (out untouched) when the record has
// fewer than six fields.
bool ReplaceDepartmentRecordVat(std::string_view record, int32_t vat_index, std::string* out);

}  // namespace kelo::device

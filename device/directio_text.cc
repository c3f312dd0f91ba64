#include "device/directio_text.h"

#include <cctype>
#include <cstdio>

#include "device/device_result.h"
#include "device/parameter_text.h"

namespace kelo::device {

using namespace directio;

namespace {

void AppendNumber(std::string* out, int64_t value) {
  AppendNumberField(out, value);
}

void AppendText(std::string* out, std::string_view text) {
  AppendTextField(out, text);
}

// Splits at sep keeping empty parts ("" gives one empty part).
std::vector<std::string_view> SplitAll(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(sep, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// Unsigned decimal digits only, at most nine of them (fits 32 bits); false otherwise.
bool ParseDigits(std::string_view text, int32_t* value) {
  if (text.empty() || text.size() > 9) return false;
  int32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

}  // namespace

std::string DeprecatedDirectIOText(int32_t command) {
  const char* name = nullptr;
  switch (command) {
    case kBmpPrint:
      name = "DIRECTIO_FPTR_BMPPRINT";
      break;
    case kBarcodePrint:
      name = "DIRECTIO_FPTR_BARCODEPRINT";
      break;
    case kCreditNoteBegin:
      name = "DIRECTIO_FPTR_CREDITNOTE_BEGIN";
      break;
    case kCreditNoteEnd:
      name = "DIRECTIO_FPTR_CREDITNOTE_END";
      break;
    default:
      return std::string();
  }
  return std::string(name) + " directIO can't be used with this version";
}

size_t DirectIODataNeeded(int32_t command, std::span<const int32_t> data) {
  switch (command) {
    case kDrawerGet:
    case kBmpLoad:
    case kBmpErase:
    case kDySetMode:
    case kDyPrintText:
    case kDyBmpLoad:
    case kDyBmpErase:
    case kReportX:
    case kDepartmentCfg:
      return 1;
    case kDrawerWait:
    case kDyBmpNow:
    case kReportRequest:
      return 2;
    case kDyBmpShow:
    case kDySbyBmp:
      return 3;
    case kReportEj:
      return 7;
    case kSetPollingTime:
      return (!data.empty() && data[0] == 1) ? 4 : 1;
    default:
      return 0;
  }
}

void AppendDateRecord(std::string* out, int32_t yyyymmdd) {
  AppendNumber(out, yyyymmdd / 10000);
  AppendNumber(out, (yyyymmdd / 100) % 100);
  AppendNumber(out, 0);
  AppendNumber(out, yyyymmdd % 100);
  for (int i = 0; i < 4; ++i) AppendNumber(out, 0);
}

link::FpuDateTime DateRecordAt(const std::vector<std::string>& fields, size_t first) {
  auto at = [&](size_t i) -> uint16_t {
    const size_t k = first + i;
    return static_cast<uint16_t>(k < fields.size() ? ParseNumber(fields[k]) : 0);
  };
  link::FpuDateTime dt;
  dt.year = at(0);
  dt.month = at(1);
  dt.day_of_week = at(2);
  dt.day = at(3);
  dt.hour = at(4);
  dt.minute = at(5);
  dt.second = at(6);
  dt.milliseconds = at(7);
  return dt;
}

bool BuildDirectIOInput(int32_t command, std::span<const int32_t> data, std::string_view text,
                        std::string* input) {
  input->clear();
  // Elements the caller did not pass read as 0; the front end refuses such calls before it
  // gets here, so this only keeps every read inside the caller's array.
  auto d = [&](size_t i) -> int32_t { return i < data.size() ? data[i] : 0; };
  switch (command) {
    case kDrawerOpen:
    case kDyClear:
    case kSetDeviceFlag:
      return true;
    case kBmpLoad:
    case kDyPrintText:
    case kDyBmpLoad:
    case kReportX:
    case kDepartmentCfg:
      AppendNumber(input, d(0));
      AppendText(input, text);
      return true;
    case kBmpErase:
    case kDySetMode:
    case kDyBmpErase:
    case kGetVirtualTicket:
      AppendNumber(input, d(0));
      return true;
    case kDyBmpShow:
    case kDySbyBmp:
      AppendNumber(input, d(0));
      AppendNumber(input, d(1));
      AppendNumber(input, d(2));
      AppendText(input, text);
      return true;
    case kDyBmpNow:
      AppendNumber(input, d(0));
      AppendNumber(input, d(1));
      AppendText(input, text);
      return true;
    case kDySbyText:
    case kResetTotalizers:
    case kSimulateKeyboard:
      AppendText(input, text);
      return true;
    case kReportEj:
      AppendNumber(input, d(0));
      AppendNumber(input, d(1));
      AppendNumber(input, d(2));
      AppendDateRecord(input, d(3));
      AppendDateRecord(input, d(4));
      AppendNumber(input, d(5));
      AppendNumber(input, d(6));
      AppendText(input, text);
      return true;
    case kReportRequest:
      AppendNumber(input, d(0));
      AppendText(input, text);
      AppendNumber(input, d(1));
      return true;
    case kSetPollingTime:
      AppendNumber(input, d(0));
      if (d(0) == 1) {
        AppendNumber(input, d(1));
        AppendNumber(input, d(2));
        AppendNumber(input, d(3));
      }
      return true;
    default:
      return false;
  }
}

bool ParseKeyList(std::string_view text, std::vector<int32_t>* keys, std::string* why) {
  keys->clear();
  for (std::string_view part : SplitAll(text, ',')) {
    if (part.empty()) continue;
    int32_t code = 0;
    if (!ParseDigits(part, &code)) {
      *why = "Invalid key code \"" + std::string(part) + "\"";
      keys->clear();
      return false;
    }
    if (keys->size() == kMaxListEntries) {
      *why = "Too many key codes (at most 500)";
      keys->clear();
      return false;
    }
    keys->push_back(code);
  }
  return true;
}

bool ParseDepartmentLinks(std::string_view text, std::vector<DepartmentLink>* links,
                          std::string* why) {
  links->clear();
  const std::vector<std::string_view> parts = SplitAll(text, ',');
  if (parts.size() > kMaxListEntries) {
    *why = "Too many department entries (at most 500)";
    return false;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string_view entry = parts[i];
    const std::string place = "Department entry " + std::to_string(i + 1);
    if (entry.empty()) {
      *why = place + " is empty";
      links->clear();
      return false;
    }
    const unsigned char letter =
        static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(entry.back())));
    if (letter < 'A' || letter > 'Z') {
      *why = place + " (\"" + std::string(entry) + "\") does not end with a VAT letter";
      links->clear();
      return false;
    }
    DepartmentLink link;
    if (!ParseDigits(entry.substr(0, entry.size() - 1), &link.department) || link.department == 0) {
      *why = place + " (\"" + std::string(entry) + "\") has no valid department number";
      links->clear();
      return false;
    }
    link.vat_link = letter == 'X' ? 0 : letter - 'A' + 1;
    links->push_back(link);
  }
  return true;
}

std::string FormatDepartmentLinks(const std::vector<DepartmentLink>& links) {
  std::string out;
  for (const DepartmentLink& l : links) {
    if (!out.empty()) out += ',';
    out += std::to_string(l.department);
    out += l.vat_link == 0 ? 'X' : static_cast<char>(64 + l.vat_link);
  }
  return out;
}

int32_t DepartmentRecordVat(std::string_view record) {
  const std::vector<std::string_view> fields = SplitAll(record, ':');
  if (fields.size() <= kDepartmentVatField) return 0;
  return ParseNumber(fields[kDepartmentVatField]);
}

bool ReplaceDepartmentRecordVat(std::string_view record, int32_t vat_index, std::string* out) {
  std::vector<std::string_view> fields = SplitAll(record, ':');
  if (fields.size() <= kDepartmentVatField) return false;
  const std::string vat = std::to_string(vat_index);
  fields[kDepartmentVatField] = vat;
  std::string joined;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) joined += ':';
    joined += fields[i];
  }
  *out = std::move(joined);
  return true;
}

}  // namespace kelo::device

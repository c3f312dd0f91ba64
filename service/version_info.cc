#include "service/version_info.h"

namespace kelo::service {

const VersionRecord& OwnVersionRecord() {
  // English (United States), Unicode code page, as version resources usually carry.
  static const VersionRecord record{
      {VersionStringTable{0x0409,
                          0x04B0,
                          {{"CompanyName", "KELO"},
                           {"FileDescription", "KeloFPU OPOS FiscalPrinter service object"},
                           {"FileVersion", "1.11.0.0"},
                           {"ProductName", "KeloFPU"},
                           {"ProductVersion", "1.11.0.0"}}}}};
  return record;
}

const char* BuildTimeStamp() {
  return __DATE__ " " __TIME__;
}

std::string LookupVersionString(const VersionRecord* record, std::string_view key) {
  std::string found = "Unavailable";
  if (!record) return found;
  for (const VersionStringTable& table : record->translations) {
    auto it = table.strings.find(key);
    if (it == table.strings.end()) break;
    found = it->second;
  }
  return found;
}

std::string OwnVersionString(std::string_view key) {
  return LookupVersionString(&OwnVersionRecord(), key);
}

}  // namespace kelo::service

// The library's version record (the stand-in for a version resource): string tables per
// language and code page, listed in a translation list, plus the build time stamp.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kelo::service {

struct VersionStringTable {
  uint16_t language = 0;
  uint16_t code_page = 0;
  std::map<std::string, std::string, std::less<>> strings;  // key -> value
};

struct VersionRecord {
  // The translation list, in order; each entry names one string table.
  std::vector<VersionStringTable> translations;
};

// The record of this library (FileVersion, CompanyName, ...).
const VersionRecord& OwnVersionRecord();

// Build time stamp of this library, "Mmm dd yyyy hh:mm:ss".
const char* BuildTimeStamp();

// Looks key up in the tables in translation-list order; the lookup stops at the first table
// that lacks the key and answers the last value found. "Unavailable" when record is null
// (a library without a version record), the list is empty or no table has the key.
std::string LookupVersionString(const VersionRecord* record, std::string_view key);

// LookupVersionString on this library's own record.
std::string OwnVersionString(std::string_view key);

}  // namespace kelo::service

#include "testapp/core/property_list.h"

#include "testapp/core/log_text.h"

namespace kelo::testapp {

namespace {

struct Reader {
  const char* name;
  std::string (*read)(clsFprtWrapper&);
};

std::string Cell(int32_t value) {
  return ValueText(value);
}
std::string Cell(bool value) {
  return ValueText(value);
}
std::string Cell(std::string value) {
  return value;
}

}  // namespace

std::vector<PropertyRow> ReadAllProperties(clsFprtWrapper& wrapper) {
  // opos/properties.def is in alphabetical order, letter case ignored.
  static const Reader kReaders[] = {
#define KELO_PROPERTY(name, index, type, access, service_default) \
  {#name, [](clsFprtWrapper& w) { return Cell(w.name()); }},
#include "opos/properties.def"
#undef KELO_PROPERTY
  };
  std::vector<PropertyRow> rows;
  rows.reserve(std::size(kReaders));
  for (const Reader& r : kReaders) rows.push_back({r.name, r.read(wrapper)});
  return rows;
}

}  // namespace kelo::testapp

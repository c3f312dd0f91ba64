// The 119 FiscalPrinter properties of the wrapper as one list, for the properties panel.
#pragma once
#include <string>
#include <vector>

#include "testapp/core/fprt_wrapper.h"

namespace kelo::testapp {

struct PropertyRow {
  std::string name;
  std::string value;  // ValueText form: "True"/"False", digits, or the text itself
};

// Reads every property through the wrapper's reader (so each read is logged), in
// alphabetical order of the name, letter case ignored.
std::vector<PropertyRow> ReadAllProperties(clsFprtWrapper& wrapper);

}  // namespace kelo::testapp

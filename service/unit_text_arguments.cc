// The check of a method's text arguments before it runs (what conversion to the printer's
// code page could not keep).
#include <cstdio>

#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"
#include "service/trace_log.h"

namespace kelo::service {

int32_t CFiscalPrinterUnit::CheckTextArguments(std::string_view method,
                                               const std::vector<TextArgumentNote>& notes) {
  const bool strict = config().strict_text != 0;
  const std::string name(method);
  int32_t code = opos::OPOS_SUCCESS;
  int32_t extended = 0;
  std::string text;
  char buf[160];
  for (const TextArgumentNote& note : notes) {
    if (!note.valid_utf8) {
      std::snprintf(buf, sizeof buf,
                    "Text argument %zu of %s is not valid UTF-8 (byte %zu); nothing was sent",
                    note.index + 1, name.c_str(), note.invalid_offset);
      trace::Printf(trace::kLevelMethods, "CFiscalPrinterUnit::%s\n", buf);
      if (code == opos::OPOS_SUCCESS) code = opos::OPOS_E_ILLEGAL, extended = 0, text = buf;
      continue;
    }
    const std::string what = platform::DescribeReplacements(note.replaced);
    trace::Printf(trace::kLevelMethods,
                  "CFiscalPrinterUnit::%s text argument %zu: not printable as given, "
                  "written as %s\n",
                  name.c_str(), note.index + 1, what.c_str());
    if (strict && code == opos::OPOS_SUCCESS) {
      code = opos::OPOS_E_EXTENDED;
      extended = opos::OPOS_EFPTR_BAD_ITEM_DESCRIPTION;
      text = "Text argument " + std::to_string(note.index + 1) +
             " holds characters the printer cannot print (" + what + "); StrictText refuses it";
    }
  }
  if (code == opos::OPOS_SUCCESS) return opos::OPOS_SUCCESS;
  return RunMethod(method, [&] { Fail(code, extended, text); });
}

}  // namespace kelo::service

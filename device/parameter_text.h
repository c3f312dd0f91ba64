// The parameter text of a device operation: the method's arguments in declared order,
// numbers in decimal, fields separated by 0x1F, with or without a separator after the last.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/fpu_frame.h"

namespace kelo::device {

// The fields of one parameter text.
class ParamFields {
 public:
  // Splits input into count fields. The first count - 1 end at a separator; the last takes
  // the rest of the text, less one trailing separator, so a text argument in last place may
  // itself contain 0x1F. Missing fields are empty.
  ParamFields(std::string_view input, size_t count);

  const std::string& Text(size_t i) const;
  // Decimal conversion of field i: leading blanks, sign and digits; anything else (or a
  // missing field) gives 0; values beyond 32 bits saturate.
  int32_t Number(size_t i) const;
  // Seven fields from i: year, month, day, hour, minute, second, milliseconds.
  link::FpuDateTime Date(size_t i) const;

 private:
  std::vector<std::string> fields_;
};

// Decimal conversion as above.
int32_t ParseNumber(std::string_view text);

// Output texts: each value followed by the separator.
void AppendNumberField(std::string* out, int64_t value);
void AppendTextField(std::string* out, std::string_view text);

// The payment form and the description sent for the Description argument of printRecTotal.
struct PaymentChoice {
  int32_t form = 0;
  std::string description;
};
PaymentChoice ParsePaymentDescription(std::string_view description);

}  // namespace kelo::device

// The small text routines every panel of the test application shares: log escaping, amounts
// that read and print the same in every locale, and the default text form of values.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "control/fiscal_printer.h"

namespace kelo::testapp {

class MessageBoxes;

// ESC -> "[ESC]", then CR -> "[CR]", then LF -> "[LF]": one call always gives one log line.
std::string EscapeForLog(std::string_view text);
// User input: "[ESC]" -> the ESC character.
std::string ExpandEscapes(std::string_view text);
// The inverse of EscapeForLog, used when a recorded macro line is played back.
std::string UnescapeLogMarks(std::string_view text);

// "0.00" pattern with a point in every locale: at least one integer digit, exactly two
// decimals, halves rounded away from zero (12345.678 -> "12345.68", 0 -> "0.00").
std::string FormatAmount(control::Currency amount);

// User text to an amount, whatever the decimal separator: the text may hold one "," or "."
// as the decimal point (never a thousands separator), blanks around, a sign; up to four
// decimals are kept exactly, further ones rounded half away from zero. nullopt when the text
// is no such number or does not fit the currency range.
std::optional<control::Currency> TryParseAmount(std::string_view text);
// As above; on failure shows "Bad Format for " + text + "...returning 0" and answers 0.
control::Currency ParseAmount(std::string_view text, MessageBoxes& boxes);

// The default text form of a value: "True"/"False", decimal digits, or the text with leading
// and trailing blanks removed.
std::string ValueText(bool value);
std::string ValueText(int32_t value);
std::string ValueText(std::string_view value);
// Keeps a literal from choosing the Boolean form.
inline std::string ValueText(const char* value) {
  return ValueText(std::string_view(value));
}

}  // namespace kelo::testapp

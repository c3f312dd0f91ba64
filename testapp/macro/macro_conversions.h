// How the fields of a macro line are read: the same in every locale ("." is the decimal
// point of numbers; amounts accept "," or "." through ParseAmount).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelo::macro {

// The longest leading decimal number of the text, as the classic Val function reads it:
// blanks, tabs, CR and LF are skipped anywhere, an optional sign, digits, one "." and an
// optional exponent ("E" or "D"). 0 when the text does not start with a number.
// *had_digits (optional) tells whether any digit was read.
double LeadingNumber(std::string_view text, bool* had_digits = nullptr);

// A whole number: LeadingNumber rounded to the nearest integer, halves to even. nullopt when
// it does not fit 32 bits.
std::optional<int32_t> WholeNumber(std::string_view text);

// Flags: "True"/"False" in any letter case, else a number, non-zero meaning true.
bool Flag(std::string_view text);

// "P_DeviceEnabled": the words True or False (any case) or a number; nullopt for anything
// else (the line cannot be converted).
std::optional<bool> StrictFlag(std::string_view text);

// "P_ContractorId": optional blanks and sign, digits, an optional "." or "," with digits,
// rounded halves to even; nullopt for anything else or out of 32-bit range.
std::optional<int32_t> StrictWholeNumber(std::string_view text);

// Shortest text that reads back as the same number, "." as decimal point ("1.5", "2").
std::string NumberText(double value);

}  // namespace kelo::macro

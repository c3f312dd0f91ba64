// Display names the test application shows for OPOS codes.
#pragma once
#include <cstdint>
#include <string>

namespace kelo::testapp {

// "OposSuccess", "OposEClosed", ... ; "Opos#undefined#" for any other code.
std::string ResultCodeName(int32_t code);
// "OposEfptrCoverOpen" ... for 201 to 223; "" for any other code.
std::string ExtendedResultCodeName(int32_t code);
// "FPTR_AT_AMOUNT_DISCOUNT" ... for 1 to 4; "INVALID AdjutmentType" otherwise.
std::string AdjustmentTypeName(int32_t type);
// "DIRECTIO_FPTR_DRAWER_OPEN" ... ; "UNDEFINED DIRECTIO COMMAND" for unknown numbers.
std::string DirectIOCommandName(int32_t command);
// State display: "OPOS_S_CLOSED" ... ; "STATE OUT OF RANGE".
std::string StateName(int32_t state);
// PrinterState display: "UNKNOWN!!! " for 0, "FPTR_PS_MONITOR" ... ; "" otherwise.
std::string PrinterStateName(int32_t printer_state);

}  // namespace kelo::testapp

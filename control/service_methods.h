// The service object's method table as the control object calls it (opos/methods.def). The
// control object resolves every name itself and never relies on the dispatch identifiers.
#pragma once
#include <array>
#include <string_view>

#include "control/fiscal_printer.h"

namespace kelo::control {

// ServiceMethod::<name> is the row's position in the table, from 1.
enum class ServiceMethod : int {
#define KELO_METHOD(id, name) name = id,
#include "opos/methods.def"
#undef KELO_METHOD
};

inline constexpr std::array kServiceMethodNames = {
#define KELO_METHOD(id, name) std::string_view(#name),
#include "opos/methods.def"
#undef KELO_METHOD
};

// Names the control object answers on its callback object, in the order the service resolves
// them.
inline constexpr std::array<std::string_view, 5> kCallbackNames = {
    "SODirectIO", "SOError", "SOOutputComplete", "SOStatusUpdate", "ControlObjectVersion"};

}  // namespace kelo::control

// JSON text from outside (request bodies, the configuration file) read into a nlohmann::json
// tree that keeps every number exactly as written.
//
// Numbers with a fraction or an exponent are not turned into doubles: such a number becomes a
// binary value holding its text (nlohmann::json::binary_t), so an amount like 1.20 can be
// converted to a fixed-point value without floating-point error. Nesting deeper than
// kMaxJsonDepth is refused, so no later walk of the tree recurses without bound.
#pragma once
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace kelo::bridge {

inline constexpr int kMaxJsonDepth = 16;

// False with *error ("bad JSON at byte N: ...") when the text is not one JSON value.
bool ParseJsonExact(std::string_view text, nlohmann::json* out, std::string* error);

// JSON text of a tree; text that is not valid UTF-8 (it cannot come from ParseJsonExact, but
// may from elsewhere) is replaced rather than thrown on.
inline std::string Dump(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The text of a number as written: for an exact (binary) number its text, for an integer
// its decimal digits. False for anything that is not a number.
bool NumberText(const nlohmann::json& value, std::string* text);

}  // namespace kelo::bridge

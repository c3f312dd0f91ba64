// The argument kinds of the logged methods (testapp/core/logged_methods.def): for each, the
// value the method takes, its text in the macro line, its text in the log, and how the macro
// player reads it back from a field. Recording and playback both walk the same row, so they
// cannot drift apart.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>

#include "control/fiscal_printer.h"
#include "testapp/core/log_text.h"
#include "testapp/core/name_tables.h"

namespace kelo::testapp::logged {

// A whole number: recorded and logged as digits.
struct Number {
  using Value = int32_t;
  static constexpr bool kRecorded = true, kLogged = true;
  static std::string Record(int32_t v) { return ValueText(v); }
  static std::string Log(int32_t v) { return ValueText(v); }
  static int32_t Read(auto& fields, size_t i) { return fields.number(i); }
};
// An adjustment type: recorded as digits, logged by name.
struct AdjustmentType : Number {
  static std::string Log(int32_t v) { return AdjustmentTypeName(v); }
};
// The same number handed back by the method (recorded and logged as it went in).
struct NumberInOut : Number {};
// A flag: "True"/"False".
struct Flag {
  using Value = bool;
  static constexpr bool kRecorded = true, kLogged = true;
  static std::string Record(bool v) { return ValueText(v); }
  static std::string Log(bool v) { return ValueText(v); }
  static bool Read(auto& fields, size_t i) { return fields.flag(i); }
};
// An amount: "1.50" both ways.
struct Amount {
  using Value = control::Currency;
  static constexpr bool kRecorded = true, kLogged = true;
  static std::string Record(control::Currency v) { return FormatAmount(v); }
  static std::string Log(control::Currency v) { return FormatAmount(v); }
  static control::Currency Read(auto& fields, size_t i) { return fields.amount(i); }
};
// A text: recorded as it is, logged in quotes.
struct Quoted {
  using Value = std::string;
  static constexpr bool kRecorded = true, kLogged = true;
  static std::string Record(const std::string& v) { return v; }
  static std::string Log(const std::string& v) { return "\"" + v + "\""; }
  static std::string Read(auto& fields, size_t i) { return fields.text(i); }
};
// A text: recorded as it is, logged without quotes and outer blanks.
struct Trimmed : Quoted {
  static std::string Log(const std::string& v) { return ValueText(std::string_view(v)); }
};
// What the method hands back only: neither recorded nor logged; playback passes a local.
struct OutNumber {
  using Value = int32_t;
  static constexpr bool kRecorded = false, kLogged = false;
  static int32_t Read(auto&, size_t) { return 0; }
};
struct OutText {
  using Value = std::string;
  static constexpr bool kRecorded = false, kLogged = false;
  static std::string Read(auto&, size_t) { return {}; }
};
// No argument, but an empty field in the macro line ("F_SetVatTable$").
struct EmptyField {};

template <typename... K>
inline constexpr bool kEmptyField = (std::is_same_v<K, EmptyField> || ...);

// The macro line of a call: "F_<name>" and "$<field>" per recorded argument.
template <typename... K, typename... A>
std::string MacroLine(const char* name, const A&... args) {
  std::string line = std::string("F_") + name;
  if constexpr (kEmptyField<K...>) {
    line += "$";
  } else {
    static_assert(sizeof...(K) == sizeof...(A), "one argument per kind");
    auto add = [&]<typename Kind>(const auto& arg) {
      if constexpr (Kind::kRecorded) line += "$" + Kind::Record(arg);
    };
    (add.template operator()<K>(args), ...);
  }
  return line;
}

// The log line of a call: "<name>(<logged arguments, comma separated>)".
template <typename... K, typename... A>
std::string LogLine(const char* name, const A&... args) {
  std::string line = std::string(name) + "(";
  if constexpr (!kEmptyField<K...>) {
    bool first = true;
    auto add = [&]<typename Kind>(const auto& arg) {
      if constexpr (Kind::kLogged) {
        line += (first ? "" : ", ") + Kind::Log(arg);
        first = false;
      }
    };
    (add.template operator()<K>(args), ...);
  }
  return line + ")";
}

// The field each argument is read from: 1 + the recorded arguments before it.
template <typename... K>
constexpr std::array<size_t, sizeof...(K)> FieldIndices() {
  std::array<size_t, sizeof...(K)> out{};
  constexpr std::array<bool, sizeof...(K)> recorded{K::kRecorded...};
  size_t next = 1;
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = next;
    if (recorded[i]) ++next;
  }
  return out;
}

// Playback: reads the arguments from the fields in order and calls `call` with them.
template <typename... K, size_t... I>
int32_t Play(auto& fields, auto call, std::index_sequence<I...>) {
  [[maybe_unused]] constexpr auto index = FieldIndices<K...>();
  std::tuple<typename K::Value...> values{K::Read(fields, index[I])...};
  return call(std::get<I>(values)...);
}
template <typename... K>
int32_t Play(auto& fields, auto call) {
  if constexpr (kEmptyField<K...>) {
    return call();
  } else {
    return Play<K...>(fields, call, std::index_sequence_for<K...>{});
  }
}

}  // namespace kelo::testapp::logged

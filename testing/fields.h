// Parameter texts for expectations: fields each followed by the separator 0x1F.
#pragma once
#include <initializer_list>
#include <string>

namespace kelo::testing {

inline std::string Fields(std::initializer_list<std::string> fields) {
  std::string s;
  for (const auto& f : fields) {
    s += f;
    s += '\x1f';
  }
  return s;
}

}  // namespace kelo::testing

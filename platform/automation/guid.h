// Class and interface identifiers, with the registry's "{XXXXXXXX-XXXX-...}" text form.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelo::automation {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  friend bool operator==(const Guid&, const Guid&) = default;

  // "{6F1C2D3A-0B4E-4F5A-9C7D-112233445566}" (upper-case hex, with braces).
  std::string ToString() const;
  // Accepts the form above, braces optional, any letter case.
  static std::optional<Guid> Parse(std::string_view text);
};

// Interface identifiers understood by QueryInterface.
inline constexpr Guid IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

}  // namespace kelo::automation

// A decoded picture as the conversion works on it: 8 bits per colour component, rows in
// bottom-up storage order (stored row 0 is the bottom row, as in Windows bitmaps).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelo::imaging {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  // True when the file holds one bit per pixel; such a picture is used as it is, with the
  // colours of its own palette.
  bool one_bit = false;
  std::vector<Rgb> pixels;  // width * height, stored row by stored row

  const Rgb& At(int32_t x, int32_t stored_row) const {
    return pixels[static_cast<size_t>(stored_row) * static_cast<size_t>(width) +
                  static_cast<size_t>(x)];
  }
};

}  // namespace kelo::imaging

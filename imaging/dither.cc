#include "imaging/dither.h"

#include <algorithm>

namespace kelo::imaging {

Picture DitherToOneBit(const Picture& in) {
  const int32_t w = in.width;
  const int32_t h = in.height;
  std::vector<int> level(in.pixels.size());
  for (size_t i = 0; i < in.pixels.size(); ++i) level[i] = GreyLevel(in.pixels[i]);

  auto spread = [&](int32_t x, int32_t y, int share) {
    if (x < 0 || x >= w || y >= h) return;  // outside the picture: dropped
    int& v = level[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
    v = std::clamp(v + share, 0, 255);
  };

  Picture out;
  out.width = w;
  out.height = h;
  out.one_bit = true;
  out.pixels.resize(in.pixels.size());
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
      int v = level[i];
      bool white = v >= 129;
      int error = white ? v - 255 : v;
      out.pixels[i] = white ? kWhite : kBlack;
      // C++ integer division truncates toward zero, as the shares must.
      spread(x + 1, y, error * 7 / 16);
      spread(x - 1, y + 1, error * 3 / 16);
      spread(x, y + 1, error * 5 / 16);
      spread(x + 1, y + 1, error * 1 / 16);
    }
  }
  return out;
}

}  // namespace kelo::imaging

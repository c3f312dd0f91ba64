// Grey conversion and error-diffusion dithering of a picture to one bit per pixel.
#pragma once
#include <cstdint>

#include "imaging/picture.h"

namespace kelo::imaging {

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};

// (306 red + 601 green + 117 blue) >> 10.
inline uint8_t GreyLevel(Rgb c) {
  return static_cast<uint8_t>((306u * c.r + 601u * c.g + 117u * c.b) >> 10);
}

// Returns a one-bit picture of the same size whose pixels are kBlack or kWhite: stored rows in
// storage order, each left to right, threshold 129, errors spread 7/16 right, 3/16 left-below,
// 5/16 below and 1/16 right-below ("below" = the next stored row), each share truncated toward
// zero and each updated value clamped to 0..255.
Picture DitherToOneBit(const Picture& in);

}  // namespace kelo::imaging

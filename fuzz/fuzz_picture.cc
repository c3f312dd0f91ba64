// Feeds arbitrary bytes to the picture loader and, when they load, reads every row the way a
// graphic download does.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "imaging/logo_bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelo::imaging::LogoBitmap bitmap;
  if (bitmap.LoadFromMemory(std::span<const uint8_t>(data, size)) != 0) return 0;
  int32_t width = 0, height = 0;
  bitmap.GetSize(&width, &height);
  if (width <= 0 || height <= 0) std::abort();
  std::vector<uint8_t> row(static_cast<size_t>(bitmap.GetRowBytes()));
  if (row.size() != (static_cast<size_t>(width) + 7) / 8) std::abort();
  for (int32_t r = 0; r < height; ++r) {
    if (bitmap.GetRow(r, row.data(), row.size()) != width) std::abort();
    // Bits past the width stay clear.
    if (width % 8 && (row.back() >> (width % 8)) != 0) std::abort();
  }
  return 0;
}

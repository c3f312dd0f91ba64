// Writers for the small picture files the tests decode, so that every test picture is made
// here, pixel by pixel, rather than taken from anywhere.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/picture.h"

namespace kelo::imaging::testing {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes* b, uint32_t v) {
  b->push_back(static_cast<uint8_t>(v));
  b->push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A Windows bitmap (BITMAPINFOHEADER, uncompressed). For 1, 4 and 8 bits, pixels are palette
// indexes; for 24 bits, pixels index `colors` directly (one entry per pixel is simplest).
// Rows are given top-down and written bottom-up, as the format stores them. palette_used
// overrides the header's colour count (0 = 2^bits).
inline Bytes Bmp(int width, int height, int bits, const std::vector<Rgb>& colors,
                 const std::vector<std::vector<int>>& rows, uint32_t palette_used = 0) {
  const uint32_t stride = ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
  Bytes pixels;
  for (int y = height - 1; y >= 0; --y) {
    Bytes line(stride, 0);
    for (int x = 0; x < width; ++x) {
      int v = rows[y][x];
      if (bits == 24) {
        line[3 * x] = colors[v].b;
        line[3 * x + 1] = colors[v].g;
        line[3 * x + 2] = colors[v].r;
      } else {
        int bit = x * bits;
        int shift = 8 - bits - bit % 8;  // the leftmost pixel is in the high bits
        line[bit / 8] = static_cast<uint8_t>(line[bit / 8] | (v << shift));
      }
    }
    pixels.insert(pixels.end(), line.begin(), line.end());
  }
  Bytes palette;
  if (bits <= 8) {
    for (const Rgb& c : colors) {
      palette.insert(palette.end(), {c.b, c.g, c.r, 0});
    }
  }
  const uint32_t offset = 14 + 40 + static_cast<uint32_t>(palette.size());
  Bytes b = {'B', 'M'};
  Put32(&b, offset + static_cast<uint32_t>(pixels.size()));
  Put32(&b, 0);
  Put32(&b, offset);
  Put32(&b, 40);
  Put32(&b, static_cast<uint32_t>(width));
  Put32(&b, static_cast<uint32_t>(height));
  Put16(&b, 1);
  Put16(&b, static_cast<uint32_t>(bits));
  Put32(&b, 0);
  Put32(&b, static_cast<uint32_t>(pixels.size()));
  Put32(&b, 2835);
  Put32(&b, 2835);
  Put32(&b, bits <= 8 ? (palette_used ? palette_used : static_cast<uint32_t>(colors.size())) : 0);
  Put32(&b, 0);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

// A GIF87a with a global colour table of 2^table_bits entries (colors padded with black) and
// LZW data that never grows the code table: a clear code before every run of literals short
// enough that the code width stays at its starting value.
inline Bytes Gif(int width, int height, int table_bits, std::vector<Rgb> colors,
                 const std::vector<std::vector<int>>& rows) {
  colors.resize(size_t{1} << table_bits);
  Bytes b = {'G', 'I', 'F', '8', '7', 'a'};
  Put16(&b, static_cast<uint32_t>(width));
  Put16(&b, static_cast<uint32_t>(height));
  b.push_back(static_cast<uint8_t>(0x80 | (table_bits - 1)));
  b.push_back(0);
  b.push_back(0);
  for (const Rgb& c : colors) b.insert(b.end(), {c.r, c.g, c.b});
  b.push_back(0x2C);
  Put16(&b, 0);
  Put16(&b, 0);
  Put16(&b, static_cast<uint32_t>(width));
  Put16(&b, static_cast<uint32_t>(height));
  b.push_back(0);
  const int min_code = table_bits < 2 ? 2 : table_bits;
  const int clear = 1 << min_code, end = clear + 1, width_bits = min_code + 1;
  const int run = (1 << min_code) - 2;
  Bytes lzw;
  uint32_t acc = 0;
  int nbits = 0;
  auto emit = [&](int code) {
    acc |= static_cast<uint32_t>(code) << nbits;
    nbits += width_bits;
    while (nbits >= 8) {
      lzw.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      nbits -= 8;
    }
  };
  int in_run = run;
  for (const auto& row : rows) {
    for (int v : row) {
      if (in_run == run) {
        emit(clear);
        in_run = 0;
      }
      emit(v);
      ++in_run;
    }
  }
  emit(end);
  if (nbits > 0) lzw.push_back(static_cast<uint8_t>(acc));
  b.push_back(static_cast<uint8_t>(min_code));
  for (size_t at = 0; at < lzw.size(); at += 255) {
    size_t n = std::min<size_t>(255, lzw.size() - at);
    b.push_back(static_cast<uint8_t>(n));
    b.insert(b.end(), lzw.begin() + static_cast<long>(at), lzw.begin() + static_cast<long>(at + n));
  }
  b.push_back(0);
  b.push_back(0x3B);
  return b;
}

// A WBMP (type 0) of width < 128 and height < 128; rows top-down, 1 = white.
inline Bytes Wbmp(int width, int height, const std::vector<std::vector<int>>& rows) {
  Bytes b = {0, 0, static_cast<uint8_t>(width), static_cast<uint8_t>(height)};
  for (const auto& row : rows) {
    Bytes line(static_cast<size_t>(width + 7) / 8, 0);
    for (int x = 0; x < width; ++x) {
      if (row[x]) line[x / 8] = static_cast<uint8_t>(line[x / 8] | (0x80 >> (x % 8)));
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  return b;
}

// An uncompressed 24-bit TGA, rows given top-down (stored bottom-up, origin bottom-left).
inline Bytes Tga(int width, int height, const std::vector<std::vector<Rgb>>& rows) {
  Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(&b, static_cast<uint32_t>(width));
  Put16(&b, static_cast<uint32_t>(height));
  b.push_back(24);
  b.push_back(0);
  for (int y = height - 1; y >= 0; --y) {
    for (const Rgb& c : rows[y]) b.insert(b.end(), {c.b, c.g, c.r});
  }
  return b;
}

}  // namespace kelo::imaging::testing

// kelo-nftest-bmp FILE: writes the picture that the full non-fiscal test loads as printer
// logo 1 ("nftest.bmp" beside KeloFPUTest): a 320 x 64 Windows bitmap, 24 bits per pixel,
// with a frame and the words "KELO NF TEST" in block letters. The build runs it, so the
// picture is made here rather than kept in the repository.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 64;
constexpr int kScale = 4;  // pixels per font dot

// 5 x 7 dots per letter, one row per byte, bit 4 the leftmost dot.
struct Glyph {
  char letter;
  std::array<uint8_t, 7> rows;
};
constexpr Glyph kFont[] = {
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
};

const Glyph* Find(char letter) {
  for (const Glyph& g : kFont) {
    if (g.letter == letter) return &g;
  }
  return nullptr;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelo-nftest-bmp FILE\n");
    return 2;
  }
  // true = black. Top row first.
  std::vector<std::vector<bool>> ink(kHeight, std::vector<bool>(kWidth, false));
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool frame = x < 3 || y < 3 || x >= kWidth - 3 || y >= kHeight - 3;
      ink[static_cast<size_t>(y)][static_cast<size_t>(x)] = frame;
    }
  }
  constexpr std::string_view kText = "KELO NF TEST";
  constexpr int kAdvance = 6 * kScale;
  const int left = (kWidth - static_cast<int>(kText.size()) * kAdvance + kScale) / 2;
  const int top = (kHeight - 7 * kScale) / 2;
  for (size_t i = 0; i < kText.size(); ++i) {
    const Glyph* g = Find(kText[i]);
    if (!g) continue;  // a blank
    for (int row = 0; row < 7; ++row) {
      for (int col = 0; col < 5; ++col) {
        if (!(g->rows[static_cast<size_t>(row)] & (0x10 >> col))) continue;
        for (int dy = 0; dy < kScale; ++dy) {
          for (int dx = 0; dx < kScale; ++dx) {
            const int x = left + static_cast<int>(i) * kAdvance + col * kScale + dx;
            const int y = top + row * kScale + dy;
            ink[static_cast<size_t>(y)][static_cast<size_t>(x)] = true;
          }
        }
      }
    }
  }

  const uint32_t row_bytes = (kWidth * 3 + 3) & ~3u;
  const uint32_t pixels = row_bytes * kHeight;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + pixels);  // file size
  Put32(out, 0);            // reserved
  Put32(out, 54);           // pixel data offset
  Put32(out, 40);           // BITMAPINFOHEADER
  Put32(out, kWidth);
  Put32(out, kHeight);  // positive: bottom row first
  Put16(out, 1);        // planes
  Put16(out, 24);       // bits per pixel
  Put32(out, 0);        // no compression
  Put32(out, pixels);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = kHeight - 1; y >= 0; --y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t v = ink[static_cast<size_t>(y)][static_cast<size_t>(x)] ? 0 : 255;
      out.insert(out.end(), {v, v, v});
    }
    out.resize(out.size() + (row_bytes - kWidth * 3), 0);
  }

  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  if (std::fclose(f) != 0 || !written) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}

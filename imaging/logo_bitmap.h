// A picture file turned into the printer's raster: one bit per pixel, eight pixels per byte
// with the least significant bit leftmost, row 0 at the top, a bit set for a dark pixel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "imaging/picture.h"

namespace kelo::imaging {

class LogoBitmap {
 public:
  // Files larger than this are refused unread; no logo comes near it.
  static constexpr size_t kMaxFileBytes = 32u * 1024 * 1024;

  virtual ~LogoBitmap() = default;

  // Reads and converts the file: 0 on success, -1 otherwise (last_error() says why). A picture
  // with more than one bit per pixel is converted to grey and dithered; a one-bit picture is
  // kept as it is. After a failure the bitmap is empty (0 x 0).
  virtual int Load(const std::string& path);
  // The same for a picture already in memory.
  int LoadFromMemory(std::span<const uint8_t> data);

  virtual void GetSize(int32_t* width, int32_t* height) const;
  // (width + 7) / 8.
  virtual int32_t GetRowBytes() const;
  // Clears size bytes of buffer, then for row -1 answers 0; for a row of the picture sets the
  // bits of its dark pixels (all components not above 240) and answers the width. A row
  // outside the picture answers -1 with the buffer cleared; bits beyond size are not written.
  virtual int32_t GetRow(int32_t row, uint8_t* buffer, size_t size) const;

  const std::string& last_error() const { return last_error_; }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  Picture picture_;  // bottom-up, as decoded (one-bit files) or dithered
  std::string last_error_;
};

}  // namespace kelo::imaging

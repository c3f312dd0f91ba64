#include "imaging/logo_bitmap.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "imaging/dither.h"
#include "imaging/picture_decoder.h"
#include "platform/os/safe_file.h"

namespace kelo::imaging {

int LogoBitmap::Load(const std::string& path) {
  width_ = height_ = 0;
  picture_ = Picture();
  // A regular file only: a FIFO would block the worker thread, a link is not followed.
  const int fd = platform::OpenRegularFile(path, O_RDONLY);
  if (fd < 0) {
    last_error_ = "cannot open " + path + ": " +
                  (errno == EINVAL ? std::string("not a regular file") : std::strerror(errno));
    return -1;
  }
  std::vector<uint8_t> bytes;
  char buf[65536];
  bool failed = false;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed = n < 0;
      break;
    }
    bytes.insert(bytes.end(), buf, buf + n);
    if (bytes.size() > kMaxFileBytes) {
      ::close(fd);
      last_error_ = path + " is too large for a picture";
      return -1;
    }
  }
  ::close(fd);
  if (failed) {
    last_error_ = "cannot read " + path;
    return -1;
  }
  if (LoadFromMemory(bytes) != 0) {
    last_error_ = path + ": " + last_error_;
    return -1;
  }
  return 0;
}

int LogoBitmap::LoadFromMemory(std::span<const uint8_t> data) {
  width_ = height_ = 0;
  picture_ = Picture();
  last_error_.clear();
  Picture decoded;
  if (!DecodePicture(data, &decoded, &last_error_)) return -1;
  picture_ = decoded.one_bit ? std::move(decoded) : DitherToOneBit(decoded);
  width_ = picture_.width;
  height_ = picture_.height;
  return 0;
}

void LogoBitmap::GetSize(int32_t* width, int32_t* height) const {
  *width = width_;
  *height = height_;
}

int32_t LogoBitmap::GetRowBytes() const {
  return (width_ + 7) / 8;
}

int32_t LogoBitmap::GetRow(int32_t row, uint8_t* buffer, size_t size) const {
  if (size > 0) std::memset(buffer, 0, size);
  if (row == -1) return 0;
  if (row < 0 || row >= height_) return -1;
  const int32_t stored_row = height_ - row - 1;  // row 0 is the top, stored last
  for (int32_t x = 0; x < width_; ++x) {
    size_t byte = static_cast<size_t>(x) / 8;
    if (byte >= size) break;
    const Rgb& c = picture_.At(x, stored_row);
    if (!(c.r > 240 && c.g > 240 && c.b > 240)) {
      buffer[byte] = static_cast<uint8_t>(buffer[byte] | (1u << (x % 8)));
    }
  }
  return width_;
}

}  // namespace kelo::imaging

#include "imaging/graphic_download.h"

#include <vector>

namespace kelo::imaging {

int DownloadGraphic(GraphicSender& sender, int32_t number, const std::string& path,
                    const GraphicLimits& limits, std::string* why) {
  LogoBitmap bitmap;
  if (bitmap.Load(path) != 0) {
    if (why) *why = bitmap.last_error();
    return kPictureUnusable;
  }
  return DownloadGraphic(sender, number, bitmap, limits, why);
}

int DownloadGraphic(GraphicSender& sender, int32_t number, const LogoBitmap& bitmap,
                    const GraphicLimits& limits, std::string* why) {
  int32_t width = 0, height = 0;
  bitmap.GetSize(&width, &height);
  if (width <= 0 || height <= 0 || width > limits.width1 || width > limits.width2 ||
      height > limits.height1 || height > limits.height2) {
    if (why) {
      *why = "picture " + std::to_string(width) + "x" + std::to_string(height) +
             " is outside the limits " + std::to_string(limits.width1) + "/" +
             std::to_string(limits.width2) + " x " + std::to_string(limits.height1) + "/" +
             std::to_string(limits.height2);
    }
    return kPictureUnusable;
  }
  int result = sender.Begin(number, height);
  // One buffer for the whole download, reused for every row.
  std::vector<uint8_t> row(static_cast<size_t>(bitmap.GetRowBytes()));
  for (int32_t r = 0; r < height && result == 0; ++r) {
    bitmap.GetRow(r, row.data(), row.size());
    result = sender.Row(row);
  }
  return result;
}

}  // namespace kelo::imaging

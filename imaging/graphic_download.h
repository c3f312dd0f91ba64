// Download of a picture file to the printer or the customer display as a numbered graphic:
// one begin exchange, then one exchange per row, top to bottom.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "imaging/logo_bitmap.h"

namespace kelo::imaging {

// The result for a picture that cannot be loaded or is over a size limit (OPOS_E_NOEXIST).
inline constexpr int kPictureUnusable = 109;

// The two commands of a download, implemented by the device layer on the printer protocol
// (PrinterGraphicBegin/Row or DisplayGraphicBegin/Row). Each answers the link result, 0 when
// the printer accepted the command.
class GraphicSender {
 public:
  virtual ~GraphicSender() = default;
  virtual int Begin(int32_t number, int32_t rows) = 0;
  // One row of packed pixels, GetRowBytes() long; escaping for the wire is the sender's job.
  virtual int Row(std::span<const uint8_t> bytes) = 0;
};

// Upper bounds, each of the two widths and of the two heights, as the target reported them.
struct GraphicLimits {
  int32_t width1 = 0;
  int32_t width2 = 0;
  int32_t height1 = 0;
  int32_t height2 = 0;
};

// Loads path and sends it as graphic number. Answers 109 (and sends nothing) when the file
// cannot be loaded or the picture is wider or taller than a limit; otherwise the result of the
// last command sent: 0 when every row was accepted, else the first failure, after which no
// further row is sent. *why, when given, receives a reason for a 109.
int DownloadGraphic(GraphicSender& sender, int32_t number, const std::string& path,
                    const GraphicLimits& limits, std::string* why = nullptr);

// The same for a bitmap already loaded.
int DownloadGraphic(GraphicSender& sender, int32_t number, const LogoBitmap& bitmap,
                    const GraphicLimits& limits, std::string* why = nullptr);

}  // namespace kelo::imaging

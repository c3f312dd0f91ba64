#include "device/graphic_sender.h"

namespace kelo::device {

int FpuGraphicSender::Begin(int32_t number, int32_t rows) {
  return target_ == GraphicTarget::kPrinter ? protocol_.PrinterGraphicBegin(number, rows)
                                            : protocol_.DisplayGraphicBegin(number, rows);
}

int FpuGraphicSender::Row(std::span<const uint8_t> bytes) {
  return target_ == GraphicTarget::kPrinter ? protocol_.PrinterGraphicRow(bytes)
                                            : protocol_.DisplayGraphicRow(bytes);
}

}  // namespace kelo::device

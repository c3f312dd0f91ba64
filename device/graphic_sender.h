// The two commands of a graphic download (imaging::GraphicSender) on the printer protocol:
// PrinterGraphicBegin/Row for a printer logo, DisplayGraphicBegin/Row for a display image.
#pragma once
#include <cstdint>
#include <span>

#include "imaging/graphic_download.h"
#include "link/fpu_protocol.h"

namespace kelo::device {

enum class GraphicTarget { kPrinter, kDisplay };

class FpuGraphicSender : public imaging::GraphicSender {
 public:
  FpuGraphicSender(link::FpuProtocol& protocol, GraphicTarget target)
      : protocol_(protocol), target_(target) {}

  int Begin(int32_t number, int32_t rows) override;
  // The protocol escapes the row bytes for the wire.
  int Row(std::span<const uint8_t> bytes) override;

 private:
  link::FpuProtocol& protocol_;
  const GraphicTarget target_;
};

}  // namespace kelo::device

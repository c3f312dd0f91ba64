// The failure carrier of every service method: thrown by checks and device operations,
// caught only by the calling frame of the method that runs.
#pragma once
#include <cstdint>
#include <string>

#include "device/device_result.h"

namespace kelo::service {

class COposException {
 public:
  COposException(int32_t code, int32_t extended, std::string text)
      : code_(code), extended_(extended), text_(std::move(text)) {}
  explicit COposException(const device::DeviceResult& r)
      : COposException(r.code, r.extended, r.text) {}

  int32_t code() const { return code_; }
  int32_t extended() const { return extended_; }
  const std::string& text() const { return text_; }  // Windows-1252

 private:
  int32_t code_;
  int32_t extended_;
  std::string text_;
};

}  // namespace kelo::service

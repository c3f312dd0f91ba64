// The printer's copy of the receipt as the receipt-line guard reads it to judge a subtotal
// whose answers were lost: whatever the bytes, finding the last line and telling whether it
// is a subtotal line stays inside the text, and the guard never sends on an undecided copy.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "device/receipt_line_guard.h"
#include "link/fpu_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kelo::device::ReceiptLineGuard;
  const std::string ticket(reinterpret_cast<const char*>(data), size);
  (void)ReceiptLineGuard::IsSubtotalLine(ticket);

  ReceiptLineGuard guard;
  guard.Arm(true);
  int sends = 0;
  const ReceiptLineGuard::Readers readers{[](int64_t* amount) {
                                            *amount = 0;
                                            return kelo::link::LINK_OK;
                                          },
                                          [&ticket](std::string* text) {
                                            *text = ticket;
                                            return kelo::link::LINK_OK;
                                          }};
  const ReceiptLineGuard::Line subtotal{"s", ReceiptLineGuard::Line::Effect::kSubtotal, 0};
  // The first send loses its answers; the second call judges the copy read from the input.
  guard.Run(subtotal, readers, [&] {
    ++sends;
    return kelo::link::LINK_E_TIMEOUT;
  });
  const int32_t r = guard.Run(subtotal, readers, [&] {
    ++sends;
    return kelo::link::LINK_OK;
  });
  if (r == ReceiptLineGuard::kUndecided && sends != 1) abort();
  return 0;
}

// A receipt document as a client posts it, read and checked before anything is printed.
//
//   { "refund": false, "reference": "...",
//     "items": [ {"description":"Milk 1l","price":"1.20","quantity":2,"vat":1},
//                {"description":"Bread","price":"0.75","quantity":1,"department":3} ],
//     "adjustments": [ {"kind":"discount","amount":"0.50","description":"..."},
//                      {"kind":"surcharge","percent":"10.00"} ],
//     "messages": ["Thank you"],
//     "payments": [ {"description":"Cash","amount":"10.00"} ] }
//
// Amounts are decimal strings or JSON numbers with at most two decimals, read exactly into
// cents (no floating point on the way). "price" is the price of one unit; the line amount is
// price times quantity. "reference" (the document being credited, printed on a refund
// receipt) is allowed only with "refund": true.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace kelo::bridge {

inline constexpr int64_t kMaxCents = 9999999999;  // 99,999,999.99: the printer's limit
inline constexpr int32_t kMaxQuantity = 9999;
inline constexpr size_t kMaxItems = 500;
inline constexpr size_t kMaxTextBytes = 200;

struct ReceiptItem {
  std::string description;
  int64_t price_cents = 0;  // one unit
  int32_t quantity = 1;
  int32_t vat = 0;         // VAT index, or 0 when a department is given
  int32_t department = 0;  // department number, or 0 when a VAT index is given
  int64_t LineCents() const { return price_cents * quantity; }
};

struct ReceiptAdjustment {
  bool discount = true;
  bool percent = false;
  int64_t value = 0;  // cents, or hundredths of a percent
  std::string description;
};

struct ReceiptPayment {
  std::string description;
  int64_t amount_cents = 0;
};

struct ReceiptDocument {
  bool refund = false;
  std::string reference;
  std::vector<ReceiptItem> items;
  std::vector<ReceiptAdjustment> adjustments;
  std::vector<std::string> messages;
  std::vector<ReceiptPayment> payments;
};

// The figures of a receipt, worked out the way the printer works them out: the adjustments
// in order, each percentage taken on the subtotal as it stands and rounded half away from
// zero to the cent.
struct ReceiptFigures {
  int64_t total_cents = 0;
  int64_t paid_cents = 0;
  int64_t change_cents = 0;
};

struct FieldError {
  std::string field;  // "items[2].price", "(body)" for the document as a whole
  std::string message;
};

// Reads and checks a document; false with *error naming the first field at fault.
bool ParseReceiptDocument(std::string_view body, ReceiptDocument* out, FieldError* error);
// The same on a tree already read by ParseJsonExact.
bool ReadReceiptDocument(const nlohmann::json& root, ReceiptDocument* out, FieldError* error);

ReceiptFigures ComputeFigures(const ReceiptDocument& doc);

// An amount text ("12", "12.5", "12.50", "-0.50") into cents; false when it has more than two
// decimals, anything but digits, or is beyond +-kMaxCents.
bool ParseCents(std::string_view text, int64_t* cents);
// Cents as "12.50" ("-0.50" for negatives).
std::string FormatCents(int64_t cents);

}  // namespace kelo::bridge

// Random but repeatable fiscal receipts for the soak: sales, item voids, item discounts and
// surcharges, refund lines, a subtotal with an occasional subtotal discount, one to three
// payments with change, or a receipt voided on purpose. Each plan also carries what the
// printer must show for it when every step succeeds (its total to the cent).
//
// Every description is unique in a run ("J1R000123L07"), so the audit can count each line on
// the printer's electronic journal and tell a duplicate from a loss.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kelo::soak {

enum class StepKind {
  kSell,              // description, amount (price), vat
  kVoidItem,          // voids the sale with the same description, amount and vat
  kItemDiscount,      // amount off the last sale (adjustment code 10)
  kItemSurcharge,     // amount onto the last sale (code 11)
  kRefund,            // refund line inside the sales receipt, amount off the total
  kSubtotal,          // prints the subtotal
  kSubtotalDiscount,  // amount off the subtotal (code 10)
  kPayment,           // amount, form; the description is printed as the payment's text
};

const char* StepName(StepKind kind);

struct Step {
  StepKind kind = StepKind::kSell;
  std::string description;  // unique in the run (empty for kSubtotal)
  int64_t amount = 0;       // hundredths of the currency unit
  int32_t vat = 1;          // VAT index 1..4
  int32_t form = 0;         // payment form (kPayment)
  // Lines that put a line with this description on the journal.
  bool journaled() const { return !description.empty(); }
};

struct ReceiptPlan {
  int32_t number = 0;            // 1-based in the run
  std::vector<Step> steps;       // everything between begin and the payments' end
  int64_t total = 0;             // what the printer must total
  int64_t change = 0;            // paid minus total (0 for a voided plan)
  bool void_on_purpose = false;  // the cashier voids it instead of paying
};

struct PlanOptions {
  int32_t job = 1;  // distinguishes parallel jobs in descriptions
  int32_t min_items = 6;
  int32_t max_items = 12;
  int32_t vat_rates = 4;      // VAT indexes 1..vat_rates are used
  int32_t payment_forms = 4;  // forms 0..n-1 (0 is cash: the only one that gives change)
};

// The receipt number-th of the run, drawn from rng.
ReceiptPlan MakeReceipt(std::mt19937_64& rng, int32_t number, const PlanOptions& options);

// Counts of the kinds of steps, for the report.
struct PlanCounts {
  uint64_t receipts = 0;
  uint64_t lines = 0;  // every step that sends a command (sales, voids, adjustments, ...)
  uint64_t sales = 0;
  uint64_t voids = 0;
  uint64_t adjustments = 0;
  uint64_t refunds = 0;
  uint64_t payments = 0;
  void Add(const ReceiptPlan& plan);
  PlanCounts& operator+=(const PlanCounts& o);
};

}  // namespace kelo::soak

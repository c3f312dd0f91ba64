// What the driver reported for each receipt of a soak, and the audit that holds it against
// what the printer really did: its electronic journal and its day counters.
//
// The rules the audit enforces:
// - a line the driver reported done is on the journal exactly once (never lost, never
//   twice);
// - a line the driver reported failed is there at most once (the printer may have done it
//   before the answer was lost, but it must never do it twice);
// - a line never sent is not there;
// - every line of a receipt is in one document, of the kind the driver reported (a sale
//   for a closed receipt, a voided document for a voided one);
// - a closed receipt totals what was planned, to the cent, and the day counters (sales
//   receipts, voided receipts, gross) agree with the sum of the receipts.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "simulator/fiscal_model.h"
#include "tests/soak/receipt_plan.h"

namespace kelo::soak {

enum class StepOutcome { kNotSent, kDone, kFailed };

struct ReceiptRecord {
  ReceiptPlan plan;
  std::vector<StepOutcome> steps;  // one per plan step
  enum class End {
    kNotStarted,  // begin failed and no receipt was opened
    kClosed,      // the driver reported the receipt ended
    kVoided,      // the driver reported it voided (on purpose or after a failure)
    kUnknown,     // the end was sent but its answer never came: closed or voided, not both
    kLeftOpen,    // the driver could not end or void it (reported as a failure)
  } end = End::kNotStarted;
  bool failed = false;  // some step of this receipt was reported failed
};

const char* EndName(ReceiptRecord::End end);

// The printer's day counters read at the end of the run.
struct DayCounters {
  int64_t gross = 0;            // data item 2
  int64_t fiscal_receipts = 0;  // data item 20
  int64_t voided_receipts = 0;  // data item 6
};

struct AuditResult {
  uint64_t lines_checked = 0;
  uint64_t receipts_checked = 0;
  uint64_t totals_checked = 0;
  uint64_t duplicates = 0;            // a line on the journal more than once
  uint64_t losses = 0;                // a line reported done that is not on the journal
  uint64_t mismatches = 0;            // everything else that disagrees (kinds, totals, counters)
  std::vector<std::string> findings;  // one readable line each (the first 50 kept)
  bool ok() const { return duplicates == 0 && losses == 0 && mismatches == 0; }
  void Add(std::string finding);
};

// journal: every document the printer kept during the run (no other documents of these
// descriptions may be on it). counters: read from the printer after the run; day totals
// must start at zero when the run starts.
AuditResult AuditReceipts(const std::vector<ReceiptRecord>& records,
                          const std::deque<sim::JournalDoc>& journal, const DayCounters& counters);

// "12.34" / "-0.05" to hundredths; false when the text is not such an amount.
bool ParseAmount(const std::string& text, int64_t* hundredths);

}  // namespace kelo::soak

#include "tests/soak/receipt_audit.h"

#include <cctype>
#include <map>
#include <set>

namespace kelo::soak {
namespace {

constexpr size_t kFindingsKept = 50;

// A soak description: J<digits>R<6 digits>L<2 digits><capital letter>.
bool IsSoakDescription(const std::string& t) {
  auto digit = [&](size_t i) {
    return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]));
  };
  size_t i = 0;
  if (t.empty() || t[i++] != 'J') return false;
  size_t digits = 0;
  while (digit(i)) ++i, ++digits;
  if (digits == 0 || i >= t.size() || t[i++] != 'R') return false;
  for (int k = 0; k < 6; ++k, ++i) {
    if (!digit(i)) return false;
  }
  if (i >= t.size() || t[i++] != 'L') return false;
  for (int k = 0; k < 2; ++k, ++i) {
    if (!digit(i)) return false;
  }
  return i + 1 == t.size() && std::isupper(static_cast<unsigned char>(t[i]));
}

// The receipt part of a description ("J1R000123").
std::string ReceiptOf(const std::string& description) {
  return description.substr(0, description.find('L'));
}

std::string FirstWord(const std::string& s, size_t from) {
  const size_t end = s.find(' ', from);
  return s.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

std::string LastWord(const std::string& s) {
  const size_t end = s.find_last_not_of(' ');
  if (end == std::string::npos) return "";
  const size_t space = s.find_last_of(' ', end);
  const size_t begin = space == std::string::npos ? 0 : space + 1;
  return s.substr(begin, end + 1 - begin);
}

// The key under which a journal line is counted: the description, with "VOID " or
// "REFUND " in front when the printer printed it so. Empty for lines of no soak step.
std::string LineKey(const std::string& line) {
  for (const char* prefix : {"VOID ", "REFUND "}) {
    const std::string p(prefix);
    if (line.compare(0, p.size(), p) == 0) {
      const std::string word = FirstWord(line, p.size());
      return IsSoakDescription(word) ? p + word : "";
    }
  }
  const std::string word = FirstWord(line, 0);
  return IsSoakDescription(word) ? word : "";
}

std::string ExpectedKey(const Step& step) {
  switch (step.kind) {
    case StepKind::kVoidItem:
      return "VOID " + step.description;
    case StepKind::kRefund:
      return "REFUND " + step.description;
    default:
      return step.description;
  }
}

const char* DocKindName(sim::DocKind kind) {
  switch (kind) {
    case sim::DocKind::kSale:
      return "sale";
    case sim::DocKind::kRefund:
      return "refund";
    case sim::DocKind::kVoided:
      return "voided";
    case sim::DocKind::kNonFiscal:
      return "non-fiscal";
    case sim::DocKind::kXReport:
      return "X report";
    case sim::DocKind::kZReport:
      return "Z report";
    case sim::DocKind::kTraining:
      return "training";
    case sim::DocKind::kOther:
      return "other";
  }
  return "?";
}

std::string Amount(int64_t hundredths) {
  const char* sign = hundredths < 0 ? "-" : "";
  const int64_t a = hundredths < 0 ? -hundredths : hundredths;
  std::string cents = std::to_string(a % 100);
  if (cents.size() < 2) cents = "0" + cents;
  return sign + std::to_string(a / 100) + "." + cents;
}

}  // namespace

const char* EndName(ReceiptRecord::End end) {
  switch (end) {
    case ReceiptRecord::End::kNotStarted:
      return "not started";
    case ReceiptRecord::End::kClosed:
      return "closed";
    case ReceiptRecord::End::kVoided:
      return "voided";
    case ReceiptRecord::End::kUnknown:
      return "unknown";
    case ReceiptRecord::End::kLeftOpen:
      return "left open";
  }
  return "?";
}

void AuditResult::Add(std::string finding) {
  if (findings.size() < kFindingsKept) findings.push_back(std::move(finding));
}

bool ParseAmount(const std::string& text, int64_t* hundredths) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && text[i] == '-') negative = true, ++i;
  int64_t units = 0;
  size_t digits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    units = units * 10 + (text[i++] - '0');
    if (++digits > 15) return false;
  }
  if (digits == 0 || i + 3 != text.size() || text[i] != '.' ||
      !std::isdigit(static_cast<unsigned char>(text[i + 1])) ||
      !std::isdigit(static_cast<unsigned char>(text[i + 2]))) {
    return false;
  }
  const int64_t value = units * 100 + (text[i + 1] - '0') * 10 + (text[i + 2] - '0');
  *hundredths = negative ? -value : value;
  return true;
}

AuditResult AuditReceipts(const std::vector<ReceiptRecord>& records,
                          const std::deque<sim::JournalDoc>& journal, const DayCounters& counters) {
  AuditResult result;

  // What the printer kept: every soak line with the documents it is in, and per document
  // its kind and printed total.
  std::map<std::string, int> line_count;
  std::map<std::string, std::set<size_t>> receipt_docs;  // receipt part -> journal indexes
  std::map<size_t, int64_t> doc_total;
  std::map<size_t, int> doc_subtotals;  // "SUBTOTAL" lines per document
  int64_t voided_docs = 0;
  for (size_t d = 0; d < journal.size(); ++d) {
    const sim::JournalDoc& doc = journal[d];
    if (doc.kind == sim::DocKind::kVoided) voided_docs++;
    for (const std::string& line : doc.lines) {
      if (line.compare(0, 9, "SUBTOTAL ") == 0) doc_subtotals[d]++;
      if (line.compare(0, 6, "TOTAL ") == 0) {
        int64_t total = 0;
        if (ParseAmount(LastWord(line), &total)) doc_total[d] = total;
        continue;
      }
      const std::string key = LineKey(line);
      if (key.empty()) continue;
      line_count[key]++;
      receipt_docs[ReceiptOf(FirstWord(key, key.find('J')))].insert(d);
    }
  }

  std::set<std::string> expected_keys;
  int64_t expected_gross = 0;
  int64_t closed = 0;
  int64_t voided = 0;
  for (const ReceiptRecord& rec : records) {
    result.receipts_checked++;
    std::string receipt_id;
    for (size_t s = 0; s < rec.plan.steps.size(); ++s) {
      const Step& step = rec.plan.steps[s];
      if (!step.journaled()) continue;
      receipt_id = ReceiptOf(step.description);
      const std::string key = ExpectedKey(step);
      expected_keys.insert(key);
      const StepOutcome outcome = s < rec.steps.size() ? rec.steps[s] : StepOutcome::kNotSent;
      const auto it = line_count.find(key);
      const int count = it == line_count.end() ? 0 : it->second;
      result.lines_checked++;
      if (count > 1) {
        result.duplicates++;
        result.Add("DUPLICATE: \"" + key + "\" is on the journal " + std::to_string(count) +
                   " times (" + StepName(step.kind) + ", driver reported " +
                   (outcome == StepOutcome::kDone     ? "done"
                    : outcome == StepOutcome::kFailed ? "failed"
                                                      : "not sent") +
                   ")");
      } else if (outcome == StepOutcome::kDone && count == 0) {
        result.losses++;
        result.Add("LOST: \"" + key + "\" was reported done but is not on the journal");
      } else if (outcome == StepOutcome::kNotSent && count != 0) {
        result.mismatches++;
        result.Add("UNSENT LINE PRINTED: \"" + key + "\"");
      }
    }

    // The document the receipt's lines went to.
    const auto docs = receipt_docs.find(receipt_id);
    if (receipt_id.empty() || docs == receipt_docs.end()) {
      // Nothing of it reached the printer: only a receipt that failed early may look so.
      if (rec.end == ReceiptRecord::End::kClosed) {
        result.mismatches++;
        result.Add("receipt " + std::to_string(rec.plan.number) +
                   " was reported closed but none of its lines is on the journal");
      }
      if (rec.end == ReceiptRecord::End::kVoided) voided++;  // an empty voided document
      continue;
    }
    if (docs->second.size() != 1) {
      result.mismatches++;
      result.Add("receipt " + receipt_id + " is spread over " +
                 std::to_string(docs->second.size()) + " documents");
      continue;
    }
    const size_t d = *docs->second.begin();
    const sim::DocKind kind = journal[d].kind;
    ReceiptRecord::End end = rec.end;
    if (end == ReceiptRecord::End::kUnknown) {
      // The driver could not tell; the printer must hold one whole answer.
      end = kind == sim::DocKind::kSale ? ReceiptRecord::End::kClosed : ReceiptRecord::End::kVoided;
    }
    const sim::DocKind want =
        end == ReceiptRecord::End::kClosed ? sim::DocKind::kSale : sim::DocKind::kVoided;
    if (kind != want || end == ReceiptRecord::End::kLeftOpen ||
        end == ReceiptRecord::End::kNotStarted) {
      result.mismatches++;
      result.Add("receipt " + receipt_id + " was reported " + EndName(rec.end) +
                 " but the journal holds it as " + DocKindName(kind));
      continue;
    }
    if (end == ReceiptRecord::End::kVoided) {
      voided++;
      continue;
    }
    closed++;
    expected_gross += rec.plan.total;
    // The subtotal is printed once for the subtotal step and once more before each subtotal
    // discount; a second execution of either would show here.
    int subtotals = 0;
    for (const Step& step : rec.plan.steps) {
      subtotals += step.kind == StepKind::kSubtotal || step.kind == StepKind::kSubtotalDiscount;
    }
    if (doc_subtotals[d] != subtotals) {
      result.duplicates += doc_subtotals[d] > subtotals;
      result.mismatches += doc_subtotals[d] < subtotals;
      result.Add("receipt " + receipt_id + " prints the subtotal " +
                 std::to_string(doc_subtotals[d]) + " times, " + std::to_string(subtotals) +
                 " expected");
    }
    result.totals_checked++;
    const auto total = doc_total.find(d);
    if (total == doc_total.end() || total->second != rec.plan.total) {
      result.mismatches++;
      result.Add("receipt " + receipt_id + " should total " + Amount(rec.plan.total) +
                 " but the printer printed " +
                 (total == doc_total.end() ? std::string("no total") : Amount(total->second)));
    }
  }

  for (const auto& [key, count] : line_count) {
    if (expected_keys.count(key) == 0) {
      result.mismatches++;
      result.Add("journal line \"" + key + "\" belongs to no step of the run");
    }
  }
  if (counters.fiscal_receipts != closed) {
    result.mismatches++;
    result.Add("the printer counts " + std::to_string(counters.fiscal_receipts) +
               " sales receipts, the driver closed " + std::to_string(closed));
  }
  if (counters.voided_receipts != voided || voided_docs != voided) {
    result.mismatches++;
    result.Add("the printer counts " + std::to_string(counters.voided_receipts) +
               " voided receipts (" + std::to_string(voided_docs) +
               " on the journal), the driver voided " + std::to_string(voided));
  }
  if (counters.gross != expected_gross) {
    result.mismatches++;
    result.Add("day gross is " + Amount(counters.gross) + ", the closed receipts total " +
               Amount(expected_gross));
  }
  return result;
}

}  // namespace kelo::soak

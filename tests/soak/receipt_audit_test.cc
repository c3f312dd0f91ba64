// The soak is only as good as its audit: these cases prove that it sees a line printed twice,
// a line lost, a receipt of the wrong kind and a total off by a cent -- and that a fault-free
// run of generated receipts passes it, so the receipts are ones the printer accepts.
#include <gtest/gtest.h>

#include "tests/soak/receipt_audit.h"
#include "tests/soak/soak_runner.h"

namespace kelo::soak {
namespace {

ReceiptRecord Closed(std::vector<Step> steps, int64_t total) {
  ReceiptRecord rec;
  rec.plan.number = 1;
  rec.plan.steps = std::move(steps);
  rec.plan.total = total;
  rec.steps.assign(rec.plan.steps.size(), StepOutcome::kDone);
  rec.end = ReceiptRecord::End::kClosed;
  return rec;
}

Step Sale(const std::string& d, int64_t amount) {
  return Step{StepKind::kSell, d, amount, 1, 0};
}

sim::JournalDoc Doc(sim::DocKind kind, std::vector<std::string> lines) {
  sim::JournalDoc doc;
  doc.kind = kind;
  doc.lines = std::move(lines);
  return doc;
}

TEST(ReceiptAudit, AcceptsAReceiptPrintedAsReported) {
  std::vector<ReceiptRecord> records = {
      Closed({Sale("J1R000001L01S", 250), Step{StepKind::kSubtotal, "", 0, 0, 0}}, 250)};
  std::deque<sim::JournalDoc> journal = {
      Doc(sim::DocKind::kSale,
          {"J1R000001L01S        2.50 A", "SUBTOTAL        2.50", "TOTAL EUR   2.50"})};
  const AuditResult r = AuditReceipts(records, journal, {250, 1, 0});
  EXPECT_TRUE(r.ok()) << (r.findings.empty() ? "" : r.findings[0]);
  EXPECT_EQ(r.lines_checked, 1u);
  EXPECT_EQ(r.totals_checked, 1u);
}

TEST(ReceiptAudit, FindsDuplicatesLossesAndWrongKinds) {
  std::vector<ReceiptRecord> records = {
      Closed({Sale("J1R000001L01S", 250), Sale("J1R000001L02S", 100)}, 350),
      Closed({Sale("J1R000002L01S", 100)}, 100)};
  records[0].steps[1] = StepOutcome::kDone;
  std::deque<sim::JournalDoc> journal = {
      // L01 twice, L02 missing, and the total printed is a cent off.
      Doc(sim::DocKind::kSale,
          {"J1R000001L01S  2.50 A", "J1R000001L01S  2.50 A", "TOTAL EUR 3.49"}),
      // The second receipt reported closed but voided on the printer.
      Doc(sim::DocKind::kVoided, {"J1R000002L01S  1.00 A"})};
  const AuditResult r = AuditReceipts(records, journal, {350, 1, 1});
  EXPECT_EQ(r.duplicates, 1u);
  EXPECT_EQ(r.losses, 1u);
  EXPECT_GE(r.mismatches, 2u);  // the total and the kind of the second receipt
  EXPECT_FALSE(r.ok());
}

TEST(ReceiptAudit, AFailedLineMayBeThereOnceButNeverTwice) {
  ReceiptRecord rec = Closed({Sale("J1R000001L01S", 250)}, 0);
  rec.steps[0] = StepOutcome::kFailed;
  rec.end = ReceiptRecord::End::kVoided;
  std::deque<sim::JournalDoc> once = {Doc(sim::DocKind::kVoided, {"J1R000001L01S  2.50 A"})};
  EXPECT_TRUE(AuditReceipts({rec}, once, {0, 0, 1}).ok());
  std::deque<sim::JournalDoc> twice = {
      Doc(sim::DocKind::kVoided, {"J1R000001L01S  2.50 A", "J1R000001L01S  2.50 A"})};
  EXPECT_EQ(AuditReceipts({rec}, twice, {0, 0, 1}).duplicates, 1u);
}

TEST(ReceiptAudit, DayCountersMustAgreeWithTheReceipts) {
  std::vector<ReceiptRecord> records = {Closed({Sale("J1R000001L01S", 250)}, 250)};
  std::deque<sim::JournalDoc> journal = {
      Doc(sim::DocKind::kSale, {"J1R000001L01S  2.50 A", "TOTAL EUR 2.50"})};
  EXPECT_FALSE(AuditReceipts(records, journal, {251, 1, 0}).ok());  // gross off by a cent
  EXPECT_FALSE(AuditReceipts(records, journal, {250, 2, 0}).ok());  // a receipt too many
}

TEST(ReceiptAudit, ParsesPrintedAmounts) {
  int64_t v = 0;
  EXPECT_TRUE(ParseAmount("12.34", &v));
  EXPECT_EQ(v, 1234);
  EXPECT_TRUE(ParseAmount("-0.05", &v));
  EXPECT_EQ(v, -5);
  EXPECT_FALSE(ParseAmount("12.3", &v));
  EXPECT_FALSE(ParseAmount("A", &v));
  EXPECT_FALSE(ParseAmount("", &v));
  EXPECT_FALSE(ParseAmount("1.234", &v));
}

// Generated receipts are ones the printer accepts and totals as planned, for many seeds:
// a fault-free run through the link must pass the audit with every receipt closed or voided
// on purpose.
TEST(SoakRun, FaultFreeLinkRunPassesTheAudit) {
  SoakOptions options;
  options.mode = SoakMode::kLink;
  options.receipts = 60;
  options.jobs = 3;
  options.faults = "";
  options.seed = 99;
  const SoakReport report = RunSoak(options);
  ASSERT_TRUE(report.setup_error.empty()) << report.setup_error;
  EXPECT_TRUE(report.ok()) << FormatReport(report);
  EXPECT_EQ(report.failures_reported, 0u);
  EXPECT_EQ(report.receipts_closed + report.receipts_voided, 60u);
  EXPECT_EQ(report.exchanges.executed, report.commands);  // no command done twice
}

TEST(SoakRun, BadFaultSpecIsASetupError) {
  SoakOptions options;
  options.receipts = 1;
  options.faults = "corrupt=lots";
  const SoakReport report = RunSoak(options);
  EXPECT_FALSE(report.setup_error.empty());
  EXPECT_FALSE(report.ok());
}

}  // namespace
}  // namespace kelo::soak

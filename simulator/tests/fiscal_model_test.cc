// Fiscal arithmetic of the simulated printer, driven through its command set.
#include <gtest/gtest.h>

#include "simulator/tests/sim_test_util.h"

namespace kelo::sim {
namespace {

using testing::PrinterFixture;

constexpr uint8_t kOk = kReplyOk;

class FiscalModelTest : public ::testing::Test, public PrinterFixture {
 protected:
  void SellAndPay(const std::string& item, int64_t price, int vat) {
    ASSERT_EQ(Code(0x4B), kOk);
    ASSERT_EQ(M('!', {item, std::to_string(price), "1000", std::to_string(vat), "0", "0"}), kOk);
    ASSERT_EQ(M('$', {std::to_string(price)}), kOk);
    ASSERT_EQ(M('(', {"", std::to_string(price), "0"}), kOk);
    ASSERT_EQ(M('*', {"0"}), kOk);
    ASSERT_EQ(Code(0x4C), kOk);
  }
};

// One receipt that uses every kind of line, checked against amounts worked out by hand.
TEST_F(FiscalModelTest, ReceiptWithVoidsAdjustmentsRefundsAndChangeAddsUp) {
  ASSERT_EQ(Code(0x4B), kOk);
  EXPECT_EQ(M('!', {"Apples", "1000", "1000", "1", "0", "0"}), kOk);  // A 10.00
  EXPECT_EQ(M('!', {"Bread", "250", "1000", "2", "0", "0"}), kOk);    // B 2.50
  EXPECT_EQ(M('!', {"Milk", "120", "1000", "2", "0", "0"}), kOk);     // B 1.20
  EXPECT_EQ(M('"', {"Milk", "120", "1000", "2", "0", "0"}), kOk);     // voided
  // 10% off the last item still on the receipt (Bread): 0.25.
  EXPECT_EQ(M('%', {"", "1000", "20", "0", "0"}), kOk);
  EXPECT_EQ(M('!', {"Wine", "800", "1000", "1", "0", "0"}), kOk);  // A 8.00
  // +0.50 on Wine; the adjustment takes the item's VAT even when the driver sends the
  // default index.
  EXPECT_EQ(M('%', {"Gift box", "50", "11", "5", "0"}), kOk);
  EXPECT_EQ(Totalizer(5, 2, 1), 0);
  EXPECT_EQ(M('&', {"50", "11", "0", "0"}), kOk);                 // and voided
  EXPECT_EQ(M('+', {"Bottle", "100", "0", "1", "0", "0"}), kOk);  // A -1.00
  EXPECT_EQ(Data(1), 1925);
  // 5% off the goods 20.25 (the refund line is money handed back, not discounted) = 1.01,
  // spread over the goods A 18.00 / B 2.25: A -0.90 / B -0.11.
  EXPECT_EQ(M('.', {"", "500", "20"}), kOk);
  EXPECT_EQ(Data(1), 1824);
  EXPECT_EQ(Totalizer(1, 2, 1), 1610);
  EXPECT_EQ(Totalizer(2, 2, 1), 214);

  EXPECT_EQ(M('$', {"1824"}), kOk);
  EXPECT_EQ(printer.model().phase(), kPhaseTotal);
  EXPECT_EQ(M('(', {"", "1000", "2"}), kOk);  // card
  EXPECT_EQ(Data(0), 824);
  EXPECT_EQ(M('\'', {"Ticket", "24"}), kOk);
  EXPECT_EQ(Data(0), 800);
  EXPECT_EQ(M('(', {"Cash", "1000", "0"}), kOk);
  EXPECT_EQ(Data(0), -200);
  EXPECT_EQ(printer.model().phase(), kPhasePaying);
  EXPECT_EQ(M('*', {"199"}), kReplyBadData);  // the change must be what is due
  EXPECT_EQ(M('*', {"200"}), kOk);
  EXPECT_EQ(printer.model().phase(), kPhasePaid);
  EXPECT_EQ(Code(0x4C), kOk);

  EXPECT_EQ(Data(2), 1824);  // day total
  EXPECT_EQ(Data(4), 100);   // refunds
  EXPECT_EQ(Data(5), 24);    // not paid
  EXPECT_EQ(Data(20), 1);    // fiscal receipts
  EXPECT_EQ(Totalizer(1, 1, 1), 1610);
  EXPECT_EQ(Totalizer(1, 1, 2), 1610 - 290);  // VAT 22% in 16.10 is 2.90
  EXPECT_EQ(Totalizer(2, 1, 2), 214 - 19);    // VAT 10% in 2.14 is 0.19
  EXPECT_EQ(Totalizer(1, 0, 2), 2200);        // the rate itself
}

TEST_F(FiscalModelTest, RefundReceiptSubtractsFromTheDayAndZReportClosesIt) {
  SellAndPay("Apples", 1000, 1);
  SellAndPay("Bread", 300, 2);
  ASSERT_EQ(Code(0x4E, {"Return of 0001-0001"}), kOk);
  EXPECT_EQ(M('+', {"Apples", "400", "0", "1", "0", "0"}), kOk);
  EXPECT_EQ(M('$', {"400"}), kOk);
  EXPECT_EQ(M('(', {"", "400", "0"}), kOk);
  EXPECT_EQ(M('*', {"0"}), kOk);
  EXPECT_EQ(Code(0x4C), kReplyRefused);  // a refund receipt ends with its own command
  EXPECT_EQ(Code(0x4F), kOk);

  EXPECT_EQ(Data(2), 900);
  EXPECT_EQ(Data(4), 400);
  EXPECT_EQ(Data(18), 3);
  EXPECT_EQ(Data(20), 2);
  EXPECT_EQ(Totalizer(1, 1, 1), 600);
  EXPECT_EQ(printer.model().flags() & 0x08, 0x08u);  // the day is open

  EXPECT_EQ(Code(0x45, {"", "1"}), kOk);  // X report: nothing changes
  EXPECT_EQ(Data(2), 900);
  EXPECT_EQ(Code(0x45, {"", "0"}), kOk);  // Z report
  EXPECT_EQ(Data(2), 0);
  EXPECT_EQ(Data(20), 0);
  EXPECT_EQ(Data(7), 1);
  EXPECT_EQ(Data(8), 900);  // grand total keeps it
  EXPECT_EQ(Totalizer(1, 1, 1), 0);
  EXPECT_EQ(printer.model().flags() & 0x08, 0u);
  ASSERT_EQ(printer.model().state().fiscal_memory.size(), 1u);
  const ZRecord& z = printer.model().state().fiscal_memory[0];
  EXPECT_EQ(z.number, 1);
  EXPECT_EQ(z.gross, 900);
  EXPECT_EQ(z.refunds, 400);
  EXPECT_EQ(z.receipts, 2);
  EXPECT_EQ(z.refund_receipts, 1);

  Reply zdata = Exec(0x66);
  ASSERT_EQ(zdata.fields.size(), 8u);
  EXPECT_EQ(zdata.fields[0], "1");
  EXPECT_EQ(zdata.fields[1], "20260115");
  EXPECT_EQ(zdata.fields[2], "2");  // the day now running
  SellAndPay("Cheese", 150, 3);
  Reply amount = Exec(0x67);
  ASSERT_EQ(amount.fields.size(), 3u);
  EXPECT_EQ(amount.fields[2], "1.50");
  EXPECT_EQ(Data(8), 1050);
}

// A void names the item by what identifies it for the printer: price, VAT index or
// department, quantity. The description only picks among equal items.
TEST_F(FiscalModelTest, VoidsMatchPriceVatOrDepartmentAndQuantity) {
  ASSERT_EQ(Code(0x4B), kOk);
  ASSERT_EQ(M('!', {"Tea", "300", "1", "1", "0", "0"}), kOk);
  ASSERT_EQ(M('!', {"Cake", "300", "1", "1", "0", "0"}), kOk);
  ASSERT_EQ(M('!', {"Jam", "300", "2", "1", "0", "0"}), kOk);
  ASSERT_EQ(M('!', {"Soap", "300", "0", "0", "3", "0"}), kOk);  // department 3, VAT C
  const size_t mark = printer.paper().total_lines();
  EXPECT_EQ(M('"', {"Biscuits", "300", "1", "2", "0", "0"}), kReplyBadData);  // other VAT
  EXPECT_EQ(M('"', {"Biscuits", "300", "3", "1", "0", "0"}), kReplyBadData);  // other quantity
  EXPECT_EQ(M('"', {"**** Tea", "300", "0", "1", "0", "0"}), kOk);            // 0 is one unit: Cake
  EXPECT_EQ(M('"', {"Tea", "300", "1", "1", "0", "0"}), kOk);                 // the one named Tea
  EXPECT_EQ(M('"', {"Tea", "300", "1", "1", "0", "0"}), kReplyBadData);       // none left
  EXPECT_EQ(M('"', {"x", "300", "1", "0", "3", "0"}), kOk);                   // by department
  EXPECT_EQ(Data(1), 300);                                                    // Jam remains
  const auto lines = printer.paper().LinesSince(mark);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("VOID Cake ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("VOID Tea ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("VOID Soap ", 0), 0u) << lines[2];
  ASSERT_EQ(M('+', {"REFUND>>Mug", "200", "0", "2", "0", "0"}), kOk);
  EXPECT_EQ(M('+', {"REFUND>>Mug", "100", "0", "2", "0", "0"}), kOk);
  EXPECT_EQ(M(',', {"REFUNDVOID>>Mug", "200", "0", "1", "0", "0"}), kReplyBadData);
  EXPECT_EQ(M(',', {"REFUNDVOID>>Mug", "200", "0", "2", "0", "0"}), kOk);
  EXPECT_EQ(Data(1), 200);
}

// A credit note (refund document) lists the goods it pays back: items, their voids and
// adjustments and subtotal adjustments are taken, and the day's sales go down by its total.
TEST_F(FiscalModelTest, CreditNoteTakesItemsAndAdjustments) {
  SellAndPay("Apples", 5000, 1);
  ASSERT_EQ(Code(0x4E, {"8953986357"}), kOk);
  EXPECT_EQ(M('!', {"Apples", "2000", "0", "1", "0", "0"}), kOk);
  EXPECT_EQ(M('!', {"Pears", "1000", "0", "2", "0", "0"}), kOk);
  EXPECT_EQ(M('%', {"Perc Discount", "2500", "20", "2", "0"}), kOk);  // -2.50 on Pears
  EXPECT_EQ(M('!', {"Plums", "700", "0", "2", "0", "0"}), kOk);
  EXPECT_EQ(M('"', {"**** Plums", "700", "0", "2", "0", "0"}), kOk);
  EXPECT_EQ(M('.', {"DISC% SBT", "1000", "20"}), kOk);  // 10% of 27.50 = 2.75
  EXPECT_EQ(Data(1), 2475);
  EXPECT_EQ(M('$', {"2475"}), kOk);
  EXPECT_EQ(M('(', {"", "2475", "0"}), kOk);
  EXPECT_EQ(M('*', {"0"}), kOk);
  EXPECT_EQ(Code(0x4F), kOk);
  EXPECT_EQ(Data(2), 5000 - 2475);
  EXPECT_EQ(Data(4), 2475);
}

TEST_F(FiscalModelTest, RefusesWhatAFiscalPrinterRefuses) {
  EXPECT_EQ(M('!', {"A", "100", "1000", "1", "0", "0"}), kReplyRefused);  // no receipt open
  EXPECT_EQ(Code(0x4C), kReplyRefused);
  ASSERT_EQ(Code(0x4B), kOk);
  EXPECT_EQ(Code(0x4B), kReplyRefused);  // already open
  EXPECT_EQ(Code(0x50), kReplyRefused);  // no non-fiscal document inside a receipt
  EXPECT_EQ(M('!', {"A", "100", "1000", "9", "0", "0"}), kReplyBadData);   // no VAT 9
  EXPECT_EQ(M('!', {"A", "100", "1000", "0", "77", "0"}), kReplyBadData);  // no dept 77
  EXPECT_EQ(M('!', {"A", "-5", "1000", "1", "0", "0"}), kReplyBadData);
  EXPECT_EQ(M('!', {"A", "1x0", "1000", "1", "0", "0"}), kReplyBadData);
  EXPECT_EQ(M('!', {"A", "100", "1000"}), kReplyBadData);        // fields missing
  EXPECT_EQ(M('%', {"", "10", "10", "0", "0"}), kReplyRefused);  // nothing sold yet
  ASSERT_EQ(M('!', {"A", "100", "1000", "1", "0", "0"}), kOk);
  EXPECT_EQ(M('"', {"A", "200", "1000", "1", "0", "0"}), kReplyBadData);  // never sold
  EXPECT_EQ(M('%', {"", "101", "10", "0", "0"}), kReplyBadData);          // discount above price
  EXPECT_EQ(M('%', {"", "100", "12", "0", "0"}), kReplyBadData);          // unknown code
  EXPECT_EQ(M('+', {"R", "101", "0", "1", "0", "0"}), kReplyBadData);     // below zero
  EXPECT_EQ(M('&', {"10", "10", "0", "0"}), kReplyBadData);               // no such adjustment
  EXPECT_EQ(Code(0x44, {"20260201", "120000"}), kReplyRefused);           // day open
  EXPECT_EQ(Code(0x46, {"2100"}), kReplyRefused);
  EXPECT_EQ(Code(0x49, {"1", "X", "0"}), kReplyRefused);
  EXPECT_EQ(Code(0x45, {"", "0"}), kReplyRefused);     // Z with a receipt open
  EXPECT_EQ(M('*', {"0"}), kReplyRefused);             // no total yet
  EXPECT_EQ(M('(', {"", "50", "11"}), kReplyBadData);  // payment form 11 does not exist
  EXPECT_EQ(M('(', {"", "50", "0"}), kOk);             // pays without a total: total printed first
  EXPECT_EQ(M('!', {"A", "100", "1000", "1", "0", "0"}), kReplyRefused);  // after total
  EXPECT_EQ(M('\'', {"", "51"}), kReplyBadData);                          // more than is left
  EXPECT_EQ(M('*', {"0"}), kReplyRefused);                                // 0.50 still to pay
  EXPECT_EQ(Code(0x4C), kReplyRefused);
  EXPECT_EQ(M('#'), kOk);  // void the receipt
  EXPECT_EQ(printer.model().phase(), kPhaseVoided);
  EXPECT_EQ(Data(6), 1);
  EXPECT_EQ(Data(2), 0);
  EXPECT_EQ(M('-', {"Thank you"}), kOk);  // trailer of a voided receipt
  EXPECT_EQ(M(' ', {"POS 1"}), kOk);
  EXPECT_EQ(Code(0x5C, {"1"}), kOk);  // the cut ends it
  EXPECT_EQ(printer.model().phase(), kPhaseIdle);
  EXPECT_EQ(M(' ', {"late"}), kReplyRefused);
}

TEST_F(FiscalModelTest, DepartmentsCarryTheirVatAndPriceLimit) {
  // Department 3 links VAT C (5%) by default; give department 2 a limit of 5.00.
  ASSERT_EQ(Code(0x61, {"2944", "2", "FRUIT:0:500:0:0:4:0"}), kOk);
  Reply r = Exec(0x60, {"2944", "2"});
  ASSERT_EQ(r.code, kOk);
  ASSERT_EQ(r.fields.size(), 3u);
  EXPECT_EQ(r.fields[2], "FRUIT:0:500:0:0:4:0");
  // Parameter 2944 written as decimal in hex form is the same table.
  EXPECT_EQ(Exec(0x60, {"B80", "2"}).fields.size(), 3u);
  EXPECT_EQ(Code(0x61, {"2944", "2", "FRUIT:0:500:0:0:9:0"}), kReplyBadData);  // no VAT 9
  EXPECT_EQ(Code(0x61, {"2944", "99", "X:0:0:0:0:1:0"}), kReplyBadData);
  EXPECT_EQ(Code(0x61, {"2944", "1", "X:0:0:0:0:1:" + std::string(200, '0')}), kReplyBadData);

  ASSERT_EQ(Code(0x4B), kOk);
  EXPECT_EQ(M('!', {"Pears", "400", "1000", "0", "2", "0"}), kOk);
  EXPECT_EQ(M('!', {"Melon", "600", "1000", "0", "2", "0"}), kReplyBadData);  // over 5.00
  EXPECT_EQ(M('!', {"Soap", "300", "1000", "0", "3", "0"}), kOk);
  EXPECT_EQ(M('!', {"Misc", "100", "1", "0", "0", "0"}), kOk);  // default VAT index 5
  EXPECT_EQ(Totalizer(4, 2, 1), 400);
  EXPECT_EQ(Totalizer(3, 2, 1), 300);
  EXPECT_EQ(Totalizer(5, 2, 1), 100);
  EXPECT_EQ(Totalizer(5, 0, 2), 0);  // the default index is exempt
  EXPECT_EQ(Code(0x61, {"2944", "2", "FRUIT:0:500:0:0:1:0"}), kReplyRefused);  // day open
}

TEST_F(FiscalModelTest, TrainingReceiptsLeaveTheFiscalTotalsAlone) {
  ASSERT_EQ(Code(0x53, {"1"}), kOk);
  EXPECT_EQ(printer.model().flags() & 0x10, 0x10u);
  SellAndPay("Practice", 500, 1);
  EXPECT_EQ(Data(2), 0);
  EXPECT_EQ(Data(20), 0);
  EXPECT_EQ(printer.model().flags() & 0x08, 0u);    // the day did not open
  EXPECT_EQ(Code(0x45, {"", "0"}), kReplyRefused);  // no Z report in training
  ASSERT_EQ(Code(0x53, {"0"}), kOk);
  SellAndPay("Real", 500, 1);
  EXPECT_EQ(Data(2), 500);
}

TEST_F(FiscalModelTest, NonFiscalDocumentsAndTheirCounter) {
  EXPECT_EQ(Code(0x52, {"2", "outside"}), kReplyRefused);
  ASSERT_EQ(Code(0x50), kOk);
  EXPECT_EQ(printer.model().flags() & 0x04, 0x04u);
  EXPECT_EQ(Code(0x52, {"2", "\x1b|cAhello"}), kOk);
  EXPECT_EQ(Code(0x52, {"4", "slip"}), kReplyBadData);
  EXPECT_EQ(Code(0x51), kOk);
  EXPECT_EQ(Data(22), 1);
  const auto& doc = printer.model().state().journal.back();
  EXPECT_EQ(doc.kind, DocKind::kNonFiscal);
  bool found = false;
  for (const auto& l : doc.lines) found |= l.find("hello") != std::string::npos;
  EXPECT_TRUE(found);
}

TEST_F(FiscalModelTest, DateTimeIsSettableOnlyWithTheDayClosedAndNeverBeforeTheLastZ) {
  EXPECT_EQ(Code(0x44, {"20260230", "100000"}), kReplyBadData);
  EXPECT_EQ(Code(0x44, {"20260301", "250000"}), kReplyBadData);
  EXPECT_EQ(Code(0x44, {"20260301", "101500"}), kOk);
  Reply s = Exec(0x3F);
  ASSERT_EQ(s.fields.size(), 4u);
  EXPECT_EQ(s.fields[0], "20260301");
  EXPECT_EQ(s.fields[1], "101500");
  ASSERT_EQ(Code(0x45, {"", "0"}), kOk);
  EXPECT_EQ(Code(0x47, {"20260228"}), kReplyBadData);  // before the Z report
  EXPECT_EQ(Code(0x48, {"111111"}), kOk);
}

TEST_F(FiscalModelTest, JournalPiecesReassembleTheJournal) {
  for (int i = 0; i < 12; ++i) SellAndPay("Item " + std::to_string(i), 100 + i, 1 + i % 4);
  ASSERT_EQ(Code(0x55, {"2", "0", "0", "20260101", "20260101", "0", "0"}), kOk);
  std::string expected;
  for (const auto& d : printer.model().state().journal) {
    expected += "#" + std::to_string(d.number) + " DAY 0001 " + FormatPrinted(d.when) + "\n";
    for (const auto& l : d.lines) expected += l + "\n";
  }
  std::string collected;
  int pieces = 0;
  for (;;) {
    Reply r = Exec(0x4A, {"0"});
    ASSERT_EQ(r.code, kOk);
    ASSERT_EQ(r.fields.size(), 2u);
    EXPECT_LE(r.fields[1].size(), 400u);
    collected += r.fields[1];
    ++pieces;
    if (r.fields[0] == "0") break;
    ASSERT_EQ(r.fields[0], "1");
    ASSERT_LT(pieces, 10000);
  }
  EXPECT_GT(pieces, 3);
  EXPECT_EQ(collected, expected);

  // Only the fiscal documents of document numbers 2 to 3.
  ASSERT_EQ(Code(0x55, {"2", "2", "1", "00000000", "00000000", "2", "3"}), kOk);
  std::string part;
  for (int guard = 0; guard < 1000; ++guard) {
    Reply r = Exec(0x4A, {"0"});
    ASSERT_EQ(r.fields.size(), 2u);
    part += r.fields[1];
    if (r.fields[0] == "0") break;
  }
  EXPECT_EQ(part.find("#2 DAY"), 0u);
  EXPECT_NE(part.find("#3 DAY"), std::string::npos);
  EXPECT_EQ(part.find("#4 DAY"), std::string::npos);
  EXPECT_EQ(part.find("#1 DAY"), std::string::npos);
}

TEST_F(FiscalModelTest, VirtualTicketAndDuplicate) {
  ASSERT_EQ(Code(0x4B), kOk);
  ASSERT_EQ(M('!', {"Lemon", "90", "1000", "1", "0", "0"}), kOk);
  Reply r = Exec(0x4A, {"0"});
  ASSERT_EQ(r.fields.size(), 2u);
  EXPECT_NE(r.fields[1].find("Lemon"), std::string::npos);
  EXPECT_EQ(Code(0x5E, {"0"}), kReplyRefused);  // receipt still open
  ASSERT_EQ(M('(', {"", "90", "0"}), kOk);
  ASSERT_EQ(M('*', {"0"}), kOk);
  ASSERT_EQ(Code(0x4C), kOk);
  const size_t mark = printer.paper().total_lines();
  EXPECT_EQ(Code(0x5E, {"0"}), kOk);
  const auto dup = printer.paper().LinesSince(mark);
  ASSERT_FALSE(dup.empty());
  EXPECT_NE(dup.front().find("DUPLICATE"), std::string::npos);
  EXPECT_EQ(Code(0x5E, {"0"}), kReplyRefused);  // one duplicate per receipt
}

TEST_F(FiscalModelTest, PercentagesRoundHalfAwayFromZero) {
  EXPECT_EQ(MulDivRound(1925, 500, 10000), 96);
  EXPECT_EQ(MulDivRound(250, 1000, 10000), 25);
  EXPECT_EQ(MulDivRound(5, 5000, 10000), 3);    // 2.5 -> 3
  EXPECT_EQ(MulDivRound(-5, 5000, 10000), -3);  // -2.5 -> -3
  EXPECT_EQ(VatOfGross(1220, 2200), 220);
  EXPECT_EQ(VatOfGross(100, 0), 0);
  EXPECT_EQ(FormatAmount(-5), "-0.05");
  EXPECT_EQ(FormatAmount(123456), "1234.56");
}

}  // namespace
}  // namespace kelo::sim

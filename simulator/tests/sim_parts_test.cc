// The simulator's smaller parts: fault specifications, the state file reader, the paper
// layout of print lines, graphics limits and the reply field counts the driver relies on.
#include <gtest/gtest.h>

#include "simulator/faults.h"
#include "simulator/state_file.h"
#include "simulator/tests/sim_test_util.h"

namespace kelo::sim {
namespace {

using testing::PrinterFixture;

TEST(FaultSpecTest, ParsesRatesAndRejectsNonsense) {
  FaultRates r;
  std::string error;
  ASSERT_TRUE(
      ParseFaultSpec("corrupt=0.01,drop=0.02,truncate=0.005,noise=0.01,busy=0.02,"
                     "inprogress=0.5,inprogress_ms=700,error=0.1,cover=0.2,nearend=0.3,"
                     "paperout=1",
                     &r, &error))
      << error;
  EXPECT_DOUBLE_EQ(r.corrupt, 0.01);
  EXPECT_DOUBLE_EQ(r.truncate, 0.005);
  EXPECT_DOUBLE_EQ(r.inprogress, 0.5);
  EXPECT_EQ(r.inprogress_ms, 700u);
  EXPECT_DOUBLE_EQ(r.paperout, 1.0);
  EXPECT_TRUE(ParseFaultSpec("", &r, &error));
  EXPECT_DOUBLE_EQ(r.corrupt, 0.0);
  for (const char* bad :
       {"corrupt", "corrupt=", "=0.1", "corrupt=x", "corrupt=1.5", "corrupt=-0.1", "melt=0.1",
        "drop=0.1,,busy=2", "inprogress_ms=1.5", "corrupt=0.1x", "drop=nan"}) {
    error.clear();
    EXPECT_FALSE(ParseFaultSpec(bad, &r, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(FaultSpecTest, SameSeedSameFaults) {
  FaultRates r;
  r.busy = 0.3;
  r.drop = 0.3;
  FaultInjector a(r, 42), b(r, 42), c(r, 43);
  std::string sa, sb, sc;
  for (int i = 0; i < 200; ++i) {
    sa += a.TakeBusy(0x4D) ? 'b' : a.TakeDrop(0x4D) ? 'd' : '.';
    sb += b.TakeBusy(0x4D) ? 'b' : b.TakeDrop(0x4D) ? 'd' : '.';
    sc += c.TakeBusy(0x4D) ? 'b' : c.TakeDrop(0x4D) ? 'd' : '.';
  }
  EXPECT_EQ(sa, sb);
  EXPECT_NE(sa, sc);
}

class StateFileTest : public ::testing::Test, public PrinterFixture {};

TEST_F(StateFileTest, RoundTripKeepsEverythingThatIsFiscal) {
  ASSERT_EQ(Code(0x49, {"2", "Caf\xE9 \x1b|2CBar", "8"}), kReplyOk);
  ASSERT_EQ(Code(0x46, {"2100", "1000", "400", "0"}), kReplyOk);
  ASSERT_EQ(Code(0x4B), kReplyOk);
  ASSERT_EQ(M('!', {"Cr\xE8me %brul\xE9"
                    "e",
                    "450", "1000", "1", "0", "0"}),
            kReplyOk);
  ASSERT_EQ(M('(', {"", "450", "0"}), kReplyOk);
  ASSERT_EQ(M('*', {"0"}), kReplyOk);
  ASSERT_EQ(Code(0x4C), kReplyOk);
  ASSERT_EQ(Code(0x45, {"", "0"}), kReplyOk);
  ASSERT_EQ(Code(0x4B), kReplyOk);
  ASSERT_EQ(M('!', {"Tea", "200", "1000", "2", "0", "0"}), kReplyOk);
  ASSERT_EQ(M('(', {"", "200", "0"}), kReplyOk);
  ASSERT_EQ(M('*', {"0"}), kReplyOk);
  ASSERT_EQ(Code(0x4C), kReplyOk);
  const std::string text = StateToText(printer);

  PrinterFixture other;
  std::string error;
  ASSERT_TRUE(StateFromText(other.printer, text, &error)) << error;
  EXPECT_EQ(StateToText(other.printer), text);
  EXPECT_EQ(other.Data(2), 200);
  EXPECT_EQ(other.Data(8), 650);
  EXPECT_EQ(other.Totalizer(1, 0, 2), 2100);
  EXPECT_EQ(other.printer.model().state().headers[1].text, "Caf\xE9 \x1b|2CBar");
  EXPECT_EQ(other.printer.model().state().journal.back().lines,
            printer.model().state().journal.back().lines);
}

TEST_F(StateFileTest, DamagedFilesAreRefusedAndChangeNothing) {
  const std::string good = StateToText(printer);
  ASSERT_EQ(Code(0x4B), kReplyOk);
  ASSERT_EQ(M('!', {"Tea", "200", "1000", "2", "0", "0"}), kReplyOk);
  std::string error;
  for (const std::string& bad : {
           std::string(),
           std::string("hello\n"),
           good.substr(0, good.size() / 2),                       // cut short
           good + "day 1\n",                                      // after end
           std::string("kelofpu-sim-state 1\nrates 1 2\nend\n"),  // too few rates
           std::string("kelofpu-sim-state 1\ndepartment 500 X\nend\n"),
           std::string("kelofpu-sim-state 1\ndoc 1 1 20260101 090000 1 2\nline a\nend\n"),
           std::string("kelofpu-sim-state 1\nline a\nend\n"),
           std::string("kelofpu-sim-state 1\nclock 20261399 090000\nend\n"),
           std::string("kelofpu-sim-state 1\nheader 1 0 %4\nend\n"),
           std::string("kelofpu-sim-state 1\nlogo 1 2 2 FFFF\nend\n"),
           std::string("kelofpu-sim-state 1\ncounters 1 99999999999999999999 0 1 0\nend\n"),
       }) {
    error.clear();
    EXPECT_FALSE(StateFromText(printer, bad, &error)) << bad;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(printer.model().receipt_open());
  EXPECT_EQ(printer.model().receipt().Total(), 200);
  EXPECT_TRUE(StateFromText(printer, good, &error)) << error;
}

TEST(PaperTest, PrintLineEscapesAreLaidOut) {
  auto logo = [](int n) { return "[logo " + std::to_string(n) + "]"; };
  EXPECT_EQ(RenderPrintLine("plain", 42, logo), std::vector<std::string>{"plain"});
  EXPECT_EQ(RenderPrintLine("", 42, logo), std::vector<std::string>{""});
  EXPECT_EQ(RenderPrintLine("\x1b|cAmid", 10, logo), std::vector<std::string>{"   mid"});
  EXPECT_EQ(RenderPrintLine("\x1b|rAend", 10, logo), std::vector<std::string>{"       end"});
  EXPECT_EQ(RenderPrintLine("\x1b|2CTOT", 42, logo), std::vector<std::string>{"T O T"});
  EXPECT_EQ(RenderPrintLine("\x1b|1F", 42, logo), std::vector<std::string>{""});
  EXPECT_EQ(RenderPrintLine("\x1b|3B", 42, logo), std::vector<std::string>{"[logo 3]"});
  EXPECT_EQ(RenderPrintLine("abcdefghij", 4, logo),
            (std::vector<std::string>{"abcd", "efgh", "ij"}));
  EXPECT_EQ(RenderPrintLine("a\tb\x1b", 42, logo), std::vector<std::string>{"a b"});
  EXPECT_EQ(Cp1252ToUtf8("\x80 \xE9"), "\xE2\x82\xAC \xC3\xA9");
  EXPECT_EQ(Columns("left", "right", 12), "left   right");
  EXPECT_EQ(Columns("a very long text", "9.99", 12), "a very  9.99");
}

class PrinterCommandTest : public ::testing::Test, public PrinterFixture {};

// The whole paper of one receipt, as a golden text: layout changes show up here.
TEST_F(PrinterCommandTest, ReceiptPaperLayout) {
  ASSERT_EQ(Code(0x49, {"2", "\x1b|2CBAR", "0"}), kReplyOk);
  ASSERT_EQ(Code(0x4B), kReplyOk);
  ASSERT_EQ(M(' ', {"Table 4"}), kReplyOk);
  ASSERT_EQ(M('!', {"Espresso", "240", "2", "1", "0", "120"}), kReplyOk);
  ASSERT_EQ(M('!', {"Cr\xE8me br\xFBl\xE9"
                    "e",
                    "450", "1000", "0", "3", "0"}),
            kReplyOk);
  ASSERT_EQ(M('.', {"", "1000", "20"}), kReplyOk);
  ASSERT_EQ(M('$', {"621"}), kReplyOk);
  ASSERT_EQ(M('(', {"", "1000", "0"}), kReplyOk);
  ASSERT_EQ(M('*', {"379"}), kReplyOk);
  ASSERT_EQ(M('-', {"\x1b|cAThank you"}), kReplyOk);
  ASSERT_EQ(Code(0x4C), kReplyOk);
  ASSERT_EQ(Code(0x5C, {"1"}), kReplyOk);
  EXPECT_EQ(printer.paper().Text(),
            "             KELO DEMO STORE\n"
            "                  B A R\n"
            "          VAT No. IT01234567890\n"
            "\n"
            "                                       EUR\n"
            "Table 4\n"
            "  2 x 1.20\n"
            "Espresso                            2.40 A\n"
            "Cr\u00e8me br\u00fbl\u00e9e                        4.50 C\n"
            "SUBTOTAL                              6.90\n"
            "SUBTOTAL DISCOUNT 10.00%             -0.69\n"
            "------------------------------------------\n"
            "TOTAL EUR                             6.21\n"
            "CASH                                 10.00\n"
            "CHANGE                                3.79\n"
            "                Thank you\n"
            "VAT A 22.00% ON 2.16                  0.39\n"
            "VAT C 5.00% ON 4.05                   0.19\n"
            "------------------------------------------\n"
            "15-01-2026 10:30             No. 0001-0001\n"
            "FM FM00451277                 KL80-0001234\n"
            "=================== cut ==================\n");
}

// The reply fields the driver reads, in the numbers it checks.
TEST_F(PrinterCommandTest, ReplyFieldCountsMatchWhatTheDriverReads) {
  EXPECT_EQ(Exec(0x3F).fields.size(), 4u);
  EXPECT_EQ(Exec(0x64, {"0"}).fields.size(), 8u);
  EXPECT_EQ(Exec(0x64, {"1"}).fields.size(), 16u);
  EXPECT_EQ(Exec(0x64, {"2"}).fields.size(), 5u);
  EXPECT_EQ(Exec(0x66).fields.size(), 8u);
  EXPECT_EQ(Exec(0x67).fields.size(), 3u);
  EXPECT_EQ(Exec(0x59, {"3"}).fields.size(), 1u);
  EXPECT_EQ(Exec(0x5A, {"1", "1", "1"}).fields.size(), 1u);
  EXPECT_EQ(Exec(0x4A, {"0"}).fields.size(), 2u);
  EXPECT_EQ(Exec(0x60, {"2944", "1", "2944", "2", "2944", "3"}).fields.size(), 9u);
  EXPECT_EQ(Exec(0x59, {"9"}).code, kReplyBadData);
  EXPECT_EQ(Exec(0x64, {"3"}).code, kReplyBadData);
  EXPECT_EQ(Exec(0x7E).code, kReplyBadData);
  // A printer presented as an older model answers fewer device-information fields.
  printer.profile().device_info_fields = 7;
  EXPECT_EQ(Exec(0x64, {"0"}).fields.size(), 7u);
  Reply flags = Exec(0x3F);
  EXPECT_EQ(flags.fields[2], "01");  // fiscalized, nothing open
  EXPECT_EQ(flags.fields[3], "0");
}

TEST_F(PrinterCommandTest, EveryCommandOfTheSetIsAnswered) {
  struct Step {
    uint8_t opcode;
    std::vector<std::string> fields;
  };
  const std::vector<Step> script = {
      {0x44, {"20260116", "080000"}},
      {0x47, {"20260116"}},
      {0x48, {"080500"}},
      {0x46, {"2200", "1000", "500", "400"}},
      {0x49, {"1", "SHOP", "0"}},
      {0x53, {"1"}},
      {0x53, {"0"}},
      {0x5B, {"1", "2"}},
      {0x5D, {}},
      {0x62, {"13"}},
      {0x65, {"0"}},
      {0x58, {}},
      {0x57, {}},
      {0x41, {"0", "1", "2"}},
      {0x41, {"1", "%FF"}},
      {0x41, {"1", "%00"}},
      {0x41, {"2", "1"}},
      {0x54, {" ", "1"}},
      {0x54, {"!"}},
      {0x54, {"\"", "1", "Hello"}},
      {0x54, {"#", "2", "1"}},
      {0x54, {"$", "%FF%FF"}},
      {0x54, {"&", "0", "0", "", "2"}},
      {0x54, {"'", "Welcome"}},
      {0x54, {"(", "0", "0", "", "2"}},
      {0x54, {"%", "2"}},
      {0x50, {}},
      {0x52, {"2", "line"}},
      {0x51, {}},
      {0x4B, {}},
      {0x4D, {" ", "message"}},
      {0x4D, {"!", "A", "500", "1000", "1", "0", "0"}},
      {0x4D, {")", "500"}},
      {0x4D, {"$", "500"}},
      {0x4D, {"(", "", "500", "0"}},
      {0x4D, {"*", "0"}},
      {0x4D, {"-", "Bye"}},
      {0x4C, {}},
      {0x5C, {"1"}},
      {0x5E, {"0"}},
      {0x45, {"", "1"}},
      {0x45, {"", "2"}},
      {0x4A, {"0"}},
      {0x56, {"1"}},
      {0x4A, {"0"}},
      {0x55, {"1", "3", "0", "00000000", "00000000", "0", "0"}},
      {0x45, {"", "0"}},
      {0x45, {"", "9"}},
      {0x5F, {"1", "1", "1", "20260101", "20261231"}},
      {0x5F, {"1", "2", "2", "1", "1"}},
      {0x61, {"2944", "1", "DEPT 01:0:0:0:0:2:0"}},
      {0x59, {"0"}},
      {0x66, {}},
      {0x67, {}},
  };
  for (const Step& s : script) {
    EXPECT_EQ(Exec(s.opcode, s.fields).code, kReplyOk)
        << std::hex << int(s.opcode) << " " << (s.fields.empty() ? "" : s.fields[0]);
  }
  EXPECT_EQ(printer.keys(), std::vector<int32_t>{13});
  EXPECT_EQ(printer.display().lines[0], "Hello");
  EXPECT_EQ(printer.display().standby_graphic, 2);
}

TEST_F(PrinterCommandTest, GraphicsAreCheckedAgainstTheLimitsTheyReport) {
  printer.profile().logo_width = 16;
  printer.profile().logo_height = 2;
  printer.ApplyProfile();
  EXPECT_EQ(Code(0x41, {"0", "5", "3"}), kReplyBadData);  // taller than 2
  EXPECT_EQ(Code(0x41, {"1", "%00"}), kReplyRefused);     // no download begun
  ASSERT_EQ(Code(0x41, {"0", "5", "2"}), kReplyOk);
  EXPECT_EQ(Code(0x41, {"1", "%00%01%02"}), kReplyBadData);  // 24 pixels wide
  ASSERT_EQ(Code(0x41, {"0", "5", "2"}), kReplyOk);
  EXPECT_EQ(Code(0x41, {"1", "%0"}), kReplyBadData);  // broken escape
  ASSERT_EQ(Code(0x41, {"0", "5", "2"}), kReplyOk);
  ASSERT_EQ(Code(0x41, {"1", "A%25"}), kReplyOk);
  EXPECT_EQ(printer.logos().Find(5), nullptr);  // one row still missing
  ASSERT_EQ(Code(0x41, {"1", "%FF"}), kReplyOk);
  const Graphic* g = printer.logos().Find(5);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->rows[0], (std::vector<uint8_t>{'A', '%'}));
  ASSERT_EQ(Code(0x50), kReplyOk);
  const size_t mark = printer.paper().total_lines();
  ASSERT_EQ(Code(0x52, {"2", "\x1b|5B"}), kReplyOk);
  EXPECT_EQ(printer.paper().LinesSince(mark), std::vector<std::string>{"[logo 5: 16x2]"});
  EXPECT_EQ(Code(0x41, {"2", "5"}), kReplyOk);
  EXPECT_EQ(printer.logos().Find(5), nullptr);
}

TEST_F(PrinterCommandTest, CustomerDisplayKeepsItsTextModel) {
  EXPECT_EQ(Code(0x54, {"\"", "1", "Total 12.50 EUR and more text"}), kReplyOk);
  EXPECT_EQ(printer.display().lines[0], "Total 12.50 EUR and ");   // 20 columns
  EXPECT_EQ(Code(0x54, {"\"", "3", "x"}), kReplyBadData);          // two lines only
  EXPECT_EQ(Code(0x54, {"&", "0", "0", "", "4"}), kReplyBadData);  // no image 4
  EXPECT_EQ(Code(0x54, {"'", "Closed"}), kReplyOk);
  EXPECT_EQ(printer.display().standby_text, "Closed");
  EXPECT_EQ(Code(0x54, {"!"}), kReplyOk);
  EXPECT_EQ(printer.display().lines[0], "");
}

}  // namespace
}  // namespace kelo::sim

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "testapp/core/log_model.h"
#include "testapp/core/log_text.h"
#include "testapp/core/name_tables.h"
#include "testapp/core/ui_seams.h"
#include "testapp/tests/comma_locale.h"

namespace kelo::testapp {
namespace {

TEST(LogTextTest, EscapingKeepsOneCallOnOneLine) {
  EXPECT_EQ(EscapeForLog("\x1b|2CBig\r\nnext\nlast\r"), "[ESC]|2CBig[CR][LF]next[LF]last[CR]");
  EXPECT_EQ(ExpandEscapes("[ESC]|2CBig [CR]"), "\x1b|2CBig [CR]");
  EXPECT_EQ(UnescapeLogMarks("[ESC]|3C[CR][LF]x"), "\x1b|3C\r\nx");
  // Text that already holds the marks reads back as characters; that is the chosen playback.
  EXPECT_EQ(UnescapeLogMarks(EscapeForLog("a\x1b\r\nb")), "a\x1b\r\nb");
}

void ExpectAmounts() {
  EXPECT_EQ(FormatAmount(control::Currency(0)), "0.00");
  EXPECT_EQ(FormatAmount(control::Currency(123456780)), "12345.68");
  EXPECT_EQ(FormatAmount(control::Currency(15000)), "1.50");
  EXPECT_EQ(FormatAmount(control::Currency(50)), "0.01");  // 0.005 rounds away from zero
  EXPECT_EQ(FormatAmount(control::Currency(-10050)), "-1.01");
  EXPECT_EQ(FormatAmount(control::Currency(-40)), "0.00");
  EXPECT_EQ(FormatAmount(control::Currency(INT64_MIN)), "-922337203685477.58");
  EXPECT_EQ(TryParseAmount("1,50"), control::Currency(15000));
  EXPECT_EQ(TryParseAmount("1.50"), control::Currency(15000));
  EXPECT_EQ(TryParseAmount(" -2.5 "), control::Currency(-25000));
  EXPECT_EQ(TryParseAmount("7"), control::Currency(70000));
  EXPECT_EQ(TryParseAmount(".5"), control::Currency(5000));
  EXPECT_EQ(TryParseAmount("0.00005"), control::Currency(1));
  EXPECT_EQ(TryParseAmount("1.2.3"), std::nullopt);
  EXPECT_EQ(TryParseAmount("1,234.50"), std::nullopt);
  EXPECT_EQ(TryParseAmount("99999999999999999"), std::nullopt);
  EXPECT_EQ(TryParseAmount(""), std::nullopt);
}

TEST(LogTextTest, AmountsReadAndPrintTheSameInTheCLocale) {
  ExpectAmounts();
}

TEST(LogTextTest, AmountsReadAndPrintTheSameUnderACommaDecimalLocale) {
  std::string why;
  if (!testing::SwitchToCommaLocale(&why)) GTEST_SKIP() << why;
  ExpectAmounts();
  testing::RestoreCLocale();
}

TEST(LogTextTest, BadAmountShowsTheBoxAndGivesZero) {
  SilentMessageBoxes boxes;
  EXPECT_EQ(ParseAmount("abc", boxes), control::Currency(0));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0], "Bad Format for abc...returning 0");
  EXPECT_EQ(ParseAmount("1,50", boxes), control::Currency(15000));
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST(LogTextTest, ValueTextAndNameTables) {
  EXPECT_EQ(ValueText(true), "True");
  EXPECT_EQ(ValueText(false), "False");
  EXPECT_EQ(ValueText(int32_t{-12}), "-12");
  EXPECT_EQ(ValueText("  padded text  "), "padded text");

  EXPECT_EQ(ResultCodeName(0), "OposSuccess");
  EXPECT_EQ(ResultCodeName(115), "OposEDeprecated");
  EXPECT_EQ(ResultCodeName(116), "Opos#undefined#");
  EXPECT_EQ(ExtendedResultCodeName(201), "OposEfptrCoverOpen");
  EXPECT_EQ(ExtendedResultCodeName(223), "OposEfptrMissingSetCurrency");
  EXPECT_EQ(ExtendedResultCodeName(200), "");
  EXPECT_EQ(ExtendedResultCodeName(224), "");
  EXPECT_EQ(AdjustmentTypeName(4), "FPTR_AT_PERCENTAGE_SURCHARGE");
  EXPECT_EQ(AdjustmentTypeName(0), "INVALID AdjutmentType");
  EXPECT_EQ(DirectIOCommandName(1308), "DIRECTIO_FPTR_DY_SBYBMP");
  EXPECT_EQ(DirectIOCommandName(9999), "DIRECTIO_FPTR_DEBUG");
  EXPECT_EQ(DirectIOCommandName(1003), "UNDEFINED DIRECTIO COMMAND");
  EXPECT_EQ(StateName(4), "OPOS_S_ERROR");
  EXPECT_EQ(StateName(0), "STATE OUT OF RANGE");
  EXPECT_EQ(PrinterStateName(0), "UNKNOWN!!! ");
  EXPECT_EQ(PrinterStateName(10), "FPTR_PS_REPORT");
  EXPECT_EQ(PrinterStateName(11), "");
}

TEST(LogTextTest, DialogFilterPieces) {
  using Pieces = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(ParseDialogFilter("Log files|*.log"), (Pieces{{"Log files", "*.log"}}));
  EXPECT_EQ(ParseDialogFilter("Opos Test Macro Commands (*.oposcmd)|*.oposcmd|All files|*.*|"),
            (Pieces{{"Opos Test Macro Commands (*.oposcmd)", "*.oposcmd"}, {"All files", "*.*"}}));
  EXPECT_EQ(ParseDialogFilter("Lonely"), (Pieces{{"Lonely", "*"}}));
}

class FixedDialogs : public FileDialogs {
 public:
  explicit FixedDialogs(std::string path) : path_(std::move(path)) {}
  std::string OpenFileDialog(const std::string&, const std::string&, const std::string&) override {
    return path_;
  }
  std::string SaveFileDialog(const std::string& title, const std::string& filter,
                             const std::string&) override {
    asked = title + "|" + filter;
    return path_;
  }
  std::string BrowseForFolderDialog(const std::string&) override { return path_; }
  std::string asked;

 private:
  std::string path_;
};

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(LogModelTest, LinesListenersClearAndQuotedSave) {
  LogModel log;
  std::vector<std::string> seen;
  int cleared = 0;
  log.SetLineListener([&](const std::string& line) { seen.push_back(line); });
  log.SetClearedListener([&] { ++cleared; });
  log.AddToLog("PrintRecMessage(\"a\x1b|2C\")");
  log.AddToLog("two\r\nlines");
  EXPECT_EQ(log.Text(), "PrintRecMessage(\"a[ESC]|2C\")\r\ntwo[CR][LF]lines\r\n");
  EXPECT_EQ(seen, (std::vector<std::string>{"PrintRecMessage(\"a[ESC]|2C\")", "two[CR][LF]lines"}));

  const auto dir =
      std::filesystem::temp_directory_path() / ("kelo_log_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  SilentMessageBoxes boxes;
  FixedDialogs dialogs((dir / "out.log").string());
  log.SaveLog2File(dialogs, boxes);
  EXPECT_EQ(dialogs.asked, "Select the output log file|Log files|*.log");
  // Embedded quotes are not doubled.
  EXPECT_EQ(ReadFile(dir / "out.log"),
            "\"PrintRecMessage(\"a[ESC]|2C\")\r\ntwo[CR][LF]lines\r\n\"\r\n");

  log.Clear();
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(log.Text(), "");
  log.SaveLog2File(dialogs, boxes);
  EXPECT_EQ(ReadFile(dir / "out.log"), "\"\"\r\n");
  EXPECT_TRUE(boxes.shown.empty());

  FixedDialogs cancel("");
  log.SaveLog2File(cancel, boxes);  // nothing happens
  FixedDialogs unwritable((dir / "missing" / "x.log").string());
  log.SaveLog2File(unwritable, boxes);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].find("Cannot write the log file"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelo::testapp

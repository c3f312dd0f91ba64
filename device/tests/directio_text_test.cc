// DirectIO texts without a printer: data needs, parameter texts, key and department lists,
// department records, the drawer wait on virtual time and report files from a scripted
// report source.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "device/directio_text.h"
#include "device/drawer_wait.h"
#include "device/report_files.h"
#include "platform/os/clock.h"
#include "testing/fields.h"

namespace kelo::device {
namespace {

namespace fs = std::filesystem;
using namespace directio;
using kelo::testing::Fields;

constexpr char S = '\x1f';

TEST(DirectIOTextTest, DataNeedsFollowTheElementsEachCommandTouches) {
  const int32_t one[] = {1};
  const int32_t zero[] = {0};
  EXPECT_EQ(DirectIODataNeeded(kDrawerOpen, {}), 0u);
  EXPECT_EQ(DirectIODataNeeded(kDrawerGet, {}), 1u);
  EXPECT_EQ(DirectIODataNeeded(kDrawerWait, {}), 2u);  // writes pData[1]
  EXPECT_EQ(DirectIODataNeeded(kDyBmpShow, {}), 3u);
  EXPECT_EQ(DirectIODataNeeded(kReportEj, {}), 7u);
  EXPECT_EQ(DirectIODataNeeded(kReportRequest, {}), 2u);
  EXPECT_EQ(DirectIODataNeeded(kSetPollingTime, one), 4u);
  EXPECT_EQ(DirectIODataNeeded(kSetPollingTime, zero), 1u);
  EXPECT_EQ(DirectIODataNeeded(kGetVirtualTicket, {}), 0u);  // pData[0] is not used
  EXPECT_EQ(DirectIODataNeeded(1234, {}), 0u);
}

TEST(DirectIOTextTest, InputTextsAndTheDateRecords) {
  std::string in;
  const int32_t ej[] = {1, 1, 0, 20260115, 20261231, 5, 9};
  ASSERT_TRUE(BuildDirectIOInput(kReportEj, ej, "/tmp/ej.txt", &in));
  EXPECT_EQ(in, Fields({"1",    "1",  "0", "2026", "1", "0", "15", "0", "0", "0", "0",
                        "2026", "12", "0", "31",   "0", "0", "0",  "0", "5", "9", "/tmp/ej.txt"}));
  std::vector<std::string> fields;
  std::stringstream ss(in);
  for (std::string f; std::getline(ss, f, S);) fields.push_back(f);
  const link::FpuDateTime from = DateRecordAt(fields, 3);
  EXPECT_EQ(from.year, 2026);
  EXPECT_EQ(from.month, 1);
  EXPECT_EQ(from.day, 15);
  EXPECT_EQ(DateRecordAt(fields, 11).month, 12);

  const int32_t req[] = {0, 4};
  ASSERT_TRUE(BuildDirectIOInput(kReportRequest, req, "r.txt", &in));
  EXPECT_EQ(in, Fields({"0", "r.txt", "4"}));  // destination, path, report number
  const int32_t show[] = {10, 2, 7};
  ASSERT_TRUE(BuildDirectIOInput(kDyBmpShow, show, "esc", &in));
  EXPECT_EQ(in, Fields({"10", "2", "7", "esc"}));
  const int32_t poll[] = {1, -1, 50, -1};
  ASSERT_TRUE(BuildDirectIOInput(kSetPollingTime, poll, "", &in));
  EXPECT_EQ(in, Fields({"1", "-1", "50", "-1"}));
  // The ticket's unused element may be missing.
  ASSERT_TRUE(BuildDirectIOInput(kGetVirtualTicket, {}, "", &in));
  EXPECT_EQ(in, Fields({"0"}));
  EXPECT_FALSE(BuildDirectIOInput(kDrawerGet, ej, "", &in));
  EXPECT_FALSE(BuildDirectIOInput(1234, ej, "", &in));
}

TEST(DirectIOTextTest, DeprecatedCommandsHaveTheirTexts) {
  EXPECT_EQ(DeprecatedDirectIOText(kBmpPrint),
            "DIRECTIO_FPTR_BMPPRINT directIO can't be used with this version");
  EXPECT_EQ(DeprecatedDirectIOText(kBarcodePrint),
            "DIRECTIO_FPTR_BARCODEPRINT directIO can't be used with this version");
  EXPECT_EQ(DeprecatedDirectIOText(kCreditNoteBegin),
            "DIRECTIO_FPTR_CREDITNOTE_BEGIN directIO can't be used with this version");
  EXPECT_EQ(DeprecatedDirectIOText(kCreditNoteEnd),
            "DIRECTIO_FPTR_CREDITNOTE_END directIO can't be used with this version");
  EXPECT_EQ(DeprecatedDirectIOText(kBmpLoad), "");
}

TEST(DirectIOTextTest, KeyLists) {
  std::vector<int32_t> keys;
  std::string why;
  ASSERT_TRUE(ParseKeyList("12,0,255", &keys, &why));
  EXPECT_EQ(keys, (std::vector<int32_t>{12, 0, 255}));
  ASSERT_TRUE(ParseKeyList("", &keys, &why));  // empty: the printer link refuses it
  EXPECT_TRUE(keys.empty());
  ASSERT_TRUE(ParseKeyList("1,,2,", &keys, &why));
  EXPECT_EQ(keys, (std::vector<int32_t>{1, 2}));
  EXPECT_FALSE(ParseKeyList("1,x2", &keys, &why));
  EXPECT_EQ(why, "Invalid key code \"x2\"");
  EXPECT_TRUE(keys.empty());
  EXPECT_FALSE(ParseKeyList("-1", &keys, &why));
  std::string many;
  for (int i = 0; i < 501; ++i) many += "1,";
  EXPECT_FALSE(ParseKeyList(many, &keys, &why));
  many.resize(many.size() - 2);  // 500 codes
  EXPECT_TRUE(ParseKeyList(many, &keys, &why));
  EXPECT_EQ(keys.size(), 500u);
}

TEST(DirectIOTextTest, DepartmentListsAreCheckedWhole) {
  std::vector<DepartmentLink> links;
  std::string why;
  ASSERT_TRUE(ParseDepartmentLinks("1a,2x,10C", &links, &why));
  EXPECT_EQ(links, (std::vector<DepartmentLink>{{1, 1}, {2, 0}, {10, 3}}));
  EXPECT_EQ(FormatDepartmentLinks(links), "1A,2X,10C");

  EXPECT_FALSE(ParseDepartmentLinks("", &links, &why));
  EXPECT_EQ(why, "Department entry 1 is empty");
  EXPECT_TRUE(links.empty());
  EXPECT_FALSE(ParseDepartmentLinks("1a,", &links, &why));
  EXPECT_EQ(why, "Department entry 2 is empty");
  EXPECT_FALSE(ParseDepartmentLinks("1a,2", &links, &why));
  EXPECT_EQ(why, "Department entry 2 (\"2\") does not end with a VAT letter");
  EXPECT_FALSE(ParseDepartmentLinks("xa", &links, &why));
  EXPECT_EQ(why, "Department entry 1 (\"xa\") has no valid department number");
  EXPECT_FALSE(ParseDepartmentLinks("a", &links, &why));
  EXPECT_FALSE(ParseDepartmentLinks("-1a", &links, &why));
  EXPECT_FALSE(ParseDepartmentLinks("0a", &links, &why));
  EXPECT_FALSE(ParseDepartmentLinks("99999999999a", &links, &why));
}

TEST(DirectIOTextTest, DepartmentRecordsKeepEveryOtherField) {
  EXPECT_EQ(DepartmentRecordVat("DEPT 01:0:0:0:0:3:0"), 3);
  EXPECT_EQ(DepartmentRecordVat("short:1"), 0);
  std::string out = "untouched";
  ASSERT_TRUE(ReplaceDepartmentRecordVat("DEPT 01:0:500:0:0:3:0:extra", 5, &out));
  EXPECT_EQ(out, "DEPT 01:0:500:0:0:5:0:extra");
  EXPECT_FALSE(ReplaceDepartmentRecordVat("a:b:c:d:e", 1, &out));
  EXPECT_EQ(out, "DEPT 01:0:500:0:0:5:0:extra");
}

// ---- Drawer wait on virtual time ----

DeviceStatusBlock Drawer(int32_t state) {
  DeviceStatusBlock b;
  b.words[DeviceStatusBlock::kDrawer] = state;
  return b;
}

TEST(DrawerWaitTest, SleepsAtLeastOnceAndEndsWhenTheDrawerCloses) {
  platform::FakeClock clock;
  int looks = 0;
  EXPECT_EQ(WaitForDrawer(
                [&] {
                  ++looks;
                  return Drawer(1);
                },
                clock, 30),
            1);
  EXPECT_EQ(looks, 1);
  EXPECT_EQ(clock.TickMs(), 50u);

  platform::FakeClock clock2;
  looks = 0;
  EXPECT_EQ(WaitForDrawer(
                [&] {
                  ++looks;
                  return Drawer(looks < 3 ? 1 : 0);
                },
                clock2, 10000),
            0);
  EXPECT_EQ(looks, 3);
  EXPECT_EQ(clock2.TickMs(), 150u);

  platform::FakeClock clock3;  // open for the whole time-out
  EXPECT_EQ(WaitForDrawer([] { return Drawer(1); }, clock3, 120), 1);
  EXPECT_EQ(clock3.TickMs(), 150u);
}

// ---- Report files ----

class ScriptedReport : public ReportSource {
 public:
  int32_t start_result = 0;
  std::vector<std::string> pieces;
  int32_t fail_at = -1;  // read number that fails
  int reads = 0;
  int32_t Start() override { return start_result; }
  int32_t ReadPiece(int32_t* more, std::string* piece) override {
    const int n = reads++;
    if (n == fail_at) return 106;
    *piece = n < static_cast<int>(pieces.size()) ? pieces[static_cast<size_t>(n)] : "";
    *more = n + 1 < static_cast<int>(pieces.size()) ? 1 : 0;
    return 0;
  }
};

std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ReportFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kelo-rep-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    temp_ = root_ + "/tmp";
    fs::create_directory(temp_);
    options_.temp_dir = temp_;
    dest_ = root_ + "/report.txt";
  }
  void TearDown() override { fs::remove_all(root_); }
  bool TempEmpty() { return fs::is_empty(temp_); }

  std::string root_, temp_, dest_;
  ReportFileOptions options_;
};

TEST_F(ReportFilesTest, ReplaceAndAppendModes) {
  std::ofstream(dest_) << "old line\n";
  ScriptedReport r;
  r.pieces = {"line 1\nline", " 2\r\nline 3"};
  ReportFileOutcome o = CollectReportToFile(r, dest_, ReportFileMode::kAppend, options_);
  EXPECT_EQ(o.link_result, 0);
  EXPECT_EQ(o.file_code, 0);
  EXPECT_EQ(Slurp(dest_), "old line\nline 1\nline 2\nline 3\n");
  EXPECT_TRUE(TempEmpty());

  ScriptedReport r2;
  r2.pieces = {"A\r\n", "B"};
  o = CollectReportToFile(r2, dest_, ReportFileMode::kReplace, options_);
  EXPECT_EQ(o.file_code, 0);
  EXPECT_EQ(Slurp(dest_), "A\r\nB");  // bytes unchanged
  EXPECT_TRUE(TempEmpty());
}

TEST_F(ReportFilesTest, FailuresKeepWhatArrivedAndRemoveTheTemporaryFile) {
  ScriptedReport r;
  r.pieces = {"one\n", "two\n", "three\n"};
  r.fail_at = 2;
  ReportFileOutcome o = CollectReportToFile(r, dest_, ReportFileMode::kReplace, options_);
  EXPECT_EQ(o.link_result, 106);
  EXPECT_EQ(Slurp(dest_), "one\ntwo\n");
  EXPECT_TRUE(TempEmpty());

  ScriptedReport refused;
  refused.start_result = 104;
  refused.pieces = {"never"};
  fs::remove(dest_);
  o = CollectReportToFile(refused, dest_, ReportFileMode::kReplace, options_);
  EXPECT_EQ(o.link_result, 104);
  EXPECT_EQ(refused.reads, 0);
  EXPECT_FALSE(fs::exists(dest_));
  EXPECT_TRUE(TempEmpty());
}

TEST_F(ReportFilesTest, AnUnwritableDestinationIsAFailureNamingTheFile) {
  ScriptedReport r;
  r.pieces = {"data\n"};
  const std::string bad = root_ + "/missing-folder/report.txt";
  ReportFileOutcome o = CollectReportToFile(r, bad, ReportFileMode::kAppend, options_);
  EXPECT_EQ(o.file_code, 111);
  EXPECT_EQ(o.file_text, "Cannot open the report file " + bad);
  EXPECT_TRUE(TempEmpty());
}

TEST_F(ReportFilesTest, NoTemporaryFolderGives109AndNothingIsAsked) {
  ScriptedReport r;
  r.pieces = {"x"};
  options_.temp_dir = root_ + "/no-such-folder";
  ReportFileOutcome o = CollectReportToFile(r, dest_, ReportFileMode::kReplace, options_);
  EXPECT_EQ(o.file_code, 109);
  EXPECT_EQ(r.reads, 0);
  EXPECT_FALSE(fs::exists(dest_));
}

TEST_F(ReportFilesTest, TemporaryFileIsPrivateAndFreshEachTime) {
  // A planted link under the old fixed name changes nothing: the name is never reused.
  fs::create_symlink(root_ + "/victim", temp_ + "/rep9AF4.tmp");
  struct Peek : ScriptedReport {
    std::string folder;
    std::vector<fs::perms> seen;
    std::vector<std::string> names;
    int32_t Start() override {
      for (const auto& e : fs::directory_iterator(folder)) {
        if (fs::is_symlink(e.symlink_status())) continue;
        seen.push_back(e.status().permissions());
        names.push_back(e.path().filename().string());
      }
      return 0;
    }
  } r;
  r.folder = temp_;
  r.pieces = {"x"};
  ASSERT_EQ(CollectReportToFile(r, dest_, ReportFileMode::kReplace, options_).file_code, 0);
  ASSERT_EQ(CollectReportToFile(r, dest_, ReportFileMode::kReplace, options_).file_code, 0);
  ASSERT_EQ(r.names.size(), 2u);
  EXPECT_EQ(r.names[0].rfind("rep", 0), 0u);
  EXPECT_EQ(r.seen[0], fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(fs::exists(root_ + "/victim"));
  EXPECT_EQ(std::distance(fs::directory_iterator(temp_), fs::directory_iterator()), 1);
}

TEST_F(ReportFilesTest, EmptyRequestedReportLeavesTheDestinationAlone) {
  std::ofstream(dest_) << "keep";
  ScriptedReport r;
  r.pieces = {""};
  options_.skip_when_empty = true;
  EXPECT_EQ(CollectReportToFile(r, dest_, ReportFileMode::kReplace, options_).file_code, 0);
  EXPECT_EQ(Slurp(dest_), "keep");
}

}  // namespace
}  // namespace kelo::device

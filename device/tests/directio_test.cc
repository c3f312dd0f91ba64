// The DirectIO device operations against the in-process printer simulator over a real
// pseudo-terminal: drawer, logos and display images made from pictures written here,
// reports to files compared with the printer's own report data, departments, keys, the
// virtual ticket, polling periods and the device flag.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "device/device_unit.h"
#include "device/directio_text.h"
#include "device/drawer_wait.h"
#include "device/parameter_text.h"
#include "imaging/tests/picture_files.h"
#include "link/serial_port.h"
#include "opos/opos_constants.h"
#include "simulator/simulator.h"
#include "testing/device_fakes.h"
#include "testing/fields.h"
#include "testing/recording_port.h"
#include "testing/scaled_clock.h"

namespace kelo::device {
namespace {

namespace fs = std::filesystem;
using namespace opos;
using kelo::testing::Fields;
using kelo::testing::RecordingPort;
using testing::FakeHost;
using Bytes = imaging::testing::Bytes;
using imaging::Rgb;

constexpr char S = '\x1f';

std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Everything the printer hands out for its pending report data, read directly.
std::string DrainReportData(sim::Printer& p) {
  std::string all;
  bool more = true;
  while (more) {
    std::string piece;
    if (p.model().ReadReportPiece(0, &more, &piece) != sim::Outcome::kOk) break;
    all += piece;
  }
  return all;
}

// A pattern of dark (1) and white (0) pixels, and the rows the printer must store for it.
using Pattern = std::vector<std::vector<int>>;
std::vector<std::vector<uint8_t>> PackedRows(const Pattern& p) {
  std::vector<std::vector<uint8_t>> rows;
  for (const auto& line : p) {
    std::vector<uint8_t> row((line.size() + 7) / 8, 0);
    for (size_t x = 0; x < line.size(); ++x) {
      if (line[x]) row[x / 8] |= static_cast<uint8_t>(1u << (x % 8));
    }
    rows.push_back(row);
  }
  return rows;
}
// Palette index 0 black, 1 white: dark pixels are index 0.
Pattern AsIndexes(const Pattern& p) {
  Pattern out = p;
  for (auto& line : out) {
    for (int& v : line) v = v ? 0 : 1;
  }
  return out;
}
const std::vector<Rgb> kBlackWhite = {{0, 0, 0}, {255, 255, 255}};

class DirectIOSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kelo-dio-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    temp_ = dir_ + "/tmp";
    fs::create_directory(temp_);
    sim::SimulatorOptions options;
    options.start_time = {2026, 1, 15, 10, 30, 0};
    sim_ = std::make_unique<sim::Simulator>(options);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    ASSERT_EQ(port_.Open(sim_->slave_path()), 0);
    port_.SetLine(38400, 8, link::kParityNone, link::kStopBitsOne);
    port_.SetReadTimeouts(30);
    unit_.SetPollingTimes(1000, 100, 100);
    unit_.AttachPort(&port_);
    unit_.operations().SetReportTempDir(temp_);
    ASSERT_TRUE(unit_.Connect(3000).ok());
    ConfigRecord rec;
    ASSERT_TRUE(unit_.ReadConfiguration(&rec));
    ASSERT_TRUE(unit_.ReadPrinterState().ok());
  }
  void TearDown() override {
    unit_.Disconnect();
    port_.Close();
    sim_->Stop();
    fs::remove_all(dir_);
  }

  DeviceResult Sync(DeviceOp op, const std::string& input) {
    out_.clear();
    return unit_.RunDeviceOpSync(op, input, out_, ++output_id_);
  }
  std::string OutText() { return ParamFields(out_, 1).Text(0); }
  int32_t PrinterState() { return host_.GetNumberProperty(PIDX_PrinterState); }
  std::string Picture(const std::string& name, const Bytes& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  bool TempEmpty() { return fs::is_empty(temp_); }

  std::string dir_, temp_;
  kelo::testing::ScaledClock clock_{10};  // protocol pauses cost a tenth
  std::unique_ptr<sim::Simulator> sim_;
  RecordingPort port_{clock_};
  FakeHost host_;
  DeviceUnit unit_{host_, clock_};
  std::string out_;
  int32_t output_id_ = 0;
};

// ---- Drawer ----

TEST_F(DirectIOSimTest, DrawerOpensAndTheWaitSeesItOpen) {
  ASSERT_TRUE(Sync(&DeviceOperations::DoDrawerOpen, "").ok());
  EXPECT_TRUE(sim_->printer([](sim::Printer& p) { return p.DrawerOpen(); }));
  EXPECT_EQ(unit_.CopyStatus()[DeviceStatusBlock::kDrawer], 1);
  platform::FakeClock virtual_time;
  EXPECT_EQ(WaitForDrawer([this] { return unit_.CopyStatus(); }, virtual_time, 30), 1);
  EXPECT_EQ(virtual_time.TickMs(), 50u);  // one sleep
}

// ---- Logos and display images ----

TEST_F(DirectIOSimTest, LogoFromABmpAndFromAGifReachesTheGraphicStore) {
  const Pattern pattern = {{1, 0, 0, 0, 0, 0, 0, 0, 1, 1},
                           {0, 1, 0, 1, 0, 1, 0, 1, 0, 1},
                           {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}};
  // 24 bits per pixel: grey and dithering keep pure black and white as they are.
  const std::string bmp =
      Picture("logo.bmp", imaging::testing::Bmp(10, 3, 24, kBlackWhite, AsIndexes(pattern)));
  ASSERT_TRUE(Sync(&DeviceOperations::DoBmpLoad, Fields({"5", bmp})).ok());
  auto rows_of = [this](int32_t n, bool display) {
    return sim_->printer([&](sim::Printer& p) {
      const sim::Graphic* g = display ? p.display_graphics().Find(n) : p.logos().Find(n);
      return g ? g->rows : std::vector<std::vector<uint8_t>>{};
    });
  };
  EXPECT_EQ(rows_of(5, false), PackedRows(pattern));
  EXPECT_EQ(port_.Sent(0x41).size(), 4u);  // begin and three rows

  const std::string gif =
      Picture("logo.gif", imaging::testing::Gif(10, 3, 1, kBlackWhite, AsIndexes(pattern)));
  ASSERT_TRUE(Sync(&DeviceOperations::DoBmpLoad, Fields({"6", gif})).ok());
  EXPECT_EQ(rows_of(6, false), PackedRows(pattern));

  ASSERT_TRUE(Sync(&DeviceOperations::DoBmpErase, Fields({"5"})).ok());
  EXPECT_TRUE(rows_of(5, false).empty());

  // A display image shown at once goes in as number 999.
  ASSERT_TRUE(Sync(&DeviceOperations::DoDisplayBmpNow, Fields({"4", "2", gif})).ok());
  EXPECT_EQ(rows_of(999, true), PackedRows(pattern));
  EXPECT_EQ(sim_->printer([](sim::Printer& p) {
    const auto& d = p.display();
    return std::vector<int32_t>{d.shown_graphic, d.shown_x, d.shown_y};
  }),
            (std::vector<int32_t>{999, 4, 2}));
}

TEST_F(DirectIOSimTest, PicturesOverTheLimitOrUnreadableSendNothing) {
  // The printer reports 384 x 256; 384 fits, 385 does not.
  Pattern wide(1, std::vector<int>(385, 0));
  const std::string over = Picture("wide.bmp", imaging::testing::Bmp(385, 1, 1, kBlackWhite, wide));
  DeviceResult r = Sync(&DeviceOperations::DoBmpLoad, Fields({"1", over}));
  EXPECT_EQ(r.code, 109);
  EXPECT_FALSE(r.text.empty());
  Pattern fits(1, std::vector<int>(384, 0));
  const std::string exact =
      Picture("exact.bmp", imaging::testing::Bmp(384, 1, 1, kBlackWhite, fits));
  // The display's limit is 140 wide: the same picture is too wide for it.
  EXPECT_EQ(Sync(&DeviceOperations::DoDisplayBmpLoad, Fields({"1", exact})).code, 109);
  EXPECT_EQ(Sync(&DeviceOperations::DoBmpLoad, Fields({"1", dir_ + "/missing.bmp"})).code, 109);
  EXPECT_TRUE(port_.Sent(0x41).empty());
  EXPECT_TRUE(port_.Sent(0x54).empty());
  ASSERT_TRUE(Sync(&DeviceOperations::DoBmpLoad, Fields({"1", exact})).ok());
  EXPECT_EQ(port_.Sent(0x41).size(), 2u);
}

TEST_F(DirectIOSimTest, DisplayTextModeAndStandby) {
  ASSERT_TRUE(Sync(&DeviceOperations::DoDisplaySetMode, Fields({"2"})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoDisplayPrintText, Fields({"1", "Hello"})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoDisplayStandbyText, Fields({"Closed"})).ok());
  auto display = [this] { return sim_->printer([](sim::Printer& p) { return p.display(); }); };
  EXPECT_EQ(display().mode, 2);
  EXPECT_EQ(display().lines.at(0), "Hello");
  EXPECT_EQ(display().standby_text, "Closed");
  ASSERT_TRUE(Sync(&DeviceOperations::DoDisplayClear, "").ok());
  EXPECT_EQ(display().lines.at(0), "");
  EXPECT_EQ(Sync(&DeviceOperations::DoDisplayPrintText, Fields({"9", "x"})).code, 106);
}

// ---- Reports to a file ----

TEST_F(DirectIOSimTest, XReportFileHoldsThePrintersReportData) {
  const std::string dest = dir_ + "/x.txt";
  std::ofstream(dest) << "an older and longer report that must disappear\n";
  ASSERT_TRUE(Sync(&DeviceOperations::DoReportX, Fields({"1", dest})).ok());
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  EXPECT_TRUE(TempEmpty());
  const std::string expected = sim_->printer([](sim::Printer& p) {
    EXPECT_EQ(p.model().DailyReport("", 2), sim::Outcome::kOk);
    return DrainReportData(p);
  });
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(Slurp(dest), expected);
  EXPECT_EQ(port_.Sent(0x45), std::vector<std::string>{std::string(1, S) + "2"});

  // Append mode adds the report after what is there, line by line.
  std::ofstream(dest, std::ios::trunc) << "previous\n";
  ASSERT_TRUE(Sync(&DeviceOperations::DoReportX, Fields({"0", dest})).ok());
  EXPECT_EQ(Slurp(dest), "previous\n" + expected);
  EXPECT_TRUE(TempEmpty());
}

TEST_F(DirectIOSimTest, TwoReportsInARowAndTheRequestedReport) {
  const std::string a = dir_ + "/vat.txt", b = dir_ + "/headers.txt";
  ASSERT_TRUE(Sync(&DeviceOperations::DoReportRequest, Fields({"1", a, "1"})).ok());
  EXPECT_TRUE(TempEmpty());
  ASSERT_TRUE(Sync(&DeviceOperations::DoReportRequest, Fields({"1", b, "4"})).ok());
  EXPECT_TRUE(TempEmpty());
  const auto expected = sim_->printer([](sim::Printer& p) {
    std::vector<std::string> v;
    for (int32_t n : {1, 4}) {
      EXPECT_EQ(p.model().RequestedReport(n), sim::Outcome::kOk);
      v.push_back(DrainReportData(p));
    }
    return v;
  });
  EXPECT_EQ(Slurp(a), expected[0]);
  EXPECT_EQ(Slurp(b), expected[1]);
  EXPECT_NE(expected[0], expected[1]);
  EXPECT_EQ(port_.Sent(0x56), (std::vector<std::string>{"1", "4"}));
}

TEST_F(DirectIOSimTest, ReportFailuresRemoveTheTemporaryFileAndSayWhy) {
  // The printer refuses an unknown report number: 106 naming its answer, nothing written.
  const std::string dest = dir_ + "/r.txt";
  EXPECT_EQ(Sync(&DeviceOperations::DoReportRequest, Fields({"1", dest, "77"})),
            (DeviceResult{106, 0, "The printer rejected the command's data (reply 84h)"}));
  EXPECT_FALSE(fs::exists(dest));
  EXPECT_TRUE(TempEmpty());
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  // A destination that cannot be written is a failure naming it, not a success.
  const std::string bad = dir_ + "/no/such/folder.txt";
  EXPECT_EQ(Sync(&DeviceOperations::DoReportX, Fields({"1", bad})),
            (DeviceResult{111, 0, "Cannot open the report file " + bad}));
  EXPECT_TRUE(TempEmpty());
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  // Outside FPTR_PS_MONITOR nothing is asked.
  host_.SetNumberProperty(PIDX_PrinterState, FPTR_PS_FISCAL_RECEIPT);
  EXPECT_EQ(Sync(&DeviceOperations::DoReportX, Fields({"1", dest})).code, 114);
  EXPECT_EQ(Sync(&DeviceOperations::DoResetTotalizers, Fields({"x"})).code, 114);
  EXPECT_EQ(PrinterState(), FPTR_PS_FISCAL_RECEIPT);
  EXPECT_EQ(port_.Sent(0x45).size(), 1u);
}

TEST_F(DirectIOSimTest, JournalReportToFileOnPaperAndNotFiscalized) {
  // One receipt in the journal.
  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  ASSERT_TRUE(
      Sync(&DeviceOperations::DoPrintRecItem, Fields({"Tea", "150", "1000", "1", "0", ""})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoPrintRecTotal, Fields({"150", "150", "Cash"})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"})).ok());
  ASSERT_EQ(PrinterState(), FPTR_PS_MONITOR);

  std::string in;
  const int32_t data[] = {1, 0, 0, 20260101, 20261231, 0, 0};
  const std::string dest = dir_ + "/ej.txt";
  ASSERT_TRUE(BuildDirectIOInput(directio::kReportEj, data, dest, &in));
  ASSERT_TRUE(Sync(&DeviceOperations::DoReportEj, in).ok());
  const std::string expected = sim_->printer([](sim::Printer& p) {
    EXPECT_EQ(p.model().JournalReport(2, 0, 0, sim::CivilTime{2026, 1, 1, 0, 0, 0},
                                      sim::CivilTime{2026, 12, 31, 0, 0, 0}, 0, 0),
              sim::Outcome::kOk);
    return DrainReportData(p);
  });
  EXPECT_NE(expected.find("Tea"), std::string::npos);
  EXPECT_EQ(Slurp(dest), expected);
  EXPECT_TRUE(TempEmpty());
  EXPECT_EQ(port_.Sent(0x55).at(0).substr(0, 2), std::string("2") + S);

  // Mode 2 prints it.
  const size_t mark = sim_->PaperMark();
  const int32_t print[] = {2, 0, 0, 20260101, 20261231, 0, 0};
  ASSERT_TRUE(BuildDirectIOInput(directio::kReportEj, print, "", &in));
  ASSERT_TRUE(Sync(&DeviceOperations::DoReportEj, in).ok());
  EXPECT_EQ(port_.Sent(0x55).at(1).substr(0, 2), std::string("1") + S);
  EXPECT_FALSE(sim_->PaperSince(mark).empty());

  sim_->printer([](sim::Printer& p) { p.profile().fiscalized = false; });
  ASSERT_TRUE(unit_.ReadPrinterState().ok());
  EXPECT_EQ(Sync(&DeviceOperations::DoReportEj, in),
            (DeviceResult{106, 0, "The FPU is not fiscalized"}));
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);
  EXPECT_EQ(port_.Sent(0x55).size(), 2u);
}

// ---- Departments ----

TEST_F(DirectIOSimTest, DepartmentsReadAndSet) {
  sim_->printer([](sim::Printer& p) {
    EXPECT_EQ(p.model().WriteDepartment(1, "DEPT 01:0:0:0:0:1:0"), sim::Outcome::kOk);
    EXPECT_EQ(p.model().WriteDepartment(2, "DEPT 02:0:0:0:0:5:0"), sim::Outcome::kOk);  // default
    EXPECT_EQ(p.model().WriteDepartment(3, "DEPT 03:0:900:0:0:2:0"), sim::Outcome::kOk);
  });
  ASSERT_TRUE(Sync(&DeviceOperations::DoDepartmentConfig, Fields({"0", ""})).ok());
  const std::string links = OutText();
  EXPECT_EQ(links.substr(0, 9), "1A,2X,3B,");
  EXPECT_EQ(std::count(links.begin(), links.end(), ','), 9);  // ten departments

  ASSERT_TRUE(Sync(&DeviceOperations::DoDepartmentConfig, Fields({"1", "3a,1x"})).ok());
  auto record = [this](int32_t n) {
    return sim_->printer([n](sim::Printer& p) {
      std::string r;
      p.model().ReadDepartment(n, &r);
      return r;
    });
  };
  EXPECT_EQ(record(3), "DEPT 03:0:900:0:0:1:0");  // only the VAT field changes
  EXPECT_EQ(record(1), "DEPT 01:0:0:0:0:5:0");    // no link: the default VAT index
  EXPECT_EQ(port_.Sent(0x61).size(), 1u);

  // A bad entry refuses the whole list before anything is sent.
  const size_t reads = port_.Sent(0x60).size();
  DeviceResult r = Sync(&DeviceOperations::DoDepartmentConfig, Fields({"1", "1a,,2b"}));
  EXPECT_EQ(r, (DeviceResult{106, 0, "Department entry 2 is empty"}));
  host_.SetNumberProperty(PIDX_DayOpened, 1);
  EXPECT_EQ(Sync(&DeviceOperations::DoDepartmentConfig, Fields({"1", "1a,2x"})),
            (DeviceResult{106, 0, "The Fiscal Printer has already begun the fiscal day"}));
  EXPECT_EQ(port_.Sent(0x60).size(), reads);
  EXPECT_EQ(port_.Sent(0x61).size(), 1u);
}

// ---- Keys, flag, ticket, totalizers, polling ----

TEST_F(DirectIOSimTest, KeysFlagTicketAndTotalizers) {
  ASSERT_TRUE(Sync(&DeviceOperations::DoResetTotalizers, Fields({"RESET"})).ok());
  EXPECT_EQ(port_.Sent(0x45).back(), std::string("RESET") + S + "9");
  EXPECT_EQ(PrinterState(), FPTR_PS_MONITOR);

  ASSERT_TRUE(Sync(&DeviceOperations::DoSimulateKeyboard, Fields({"65,66,13"})).ok());
  EXPECT_EQ(sim_->printer([](sim::Printer& p) { return p.keys(); }),
            (std::vector<int32_t>{65, 66, 13}));
  EXPECT_EQ(Sync(&DeviceOperations::DoSimulateKeyboard, Fields({""})).code, 106);
  EXPECT_EQ(Sync(&DeviceOperations::DoSimulateKeyboard, Fields({"1,A"})).text,
            "Invalid key code \"A\"");
  EXPECT_EQ(port_.Sent(0x62).size(), 3u);

  ASSERT_TRUE(Sync(&DeviceOperations::DoSetDeviceFlag, "").ok());
  EXPECT_EQ(sim_->printer([](sim::Printer& p) { return p.device_flag(); }), 1);
  EXPECT_EQ(out_, std::string(1, S));

  ASSERT_TRUE(Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok());
  ASSERT_TRUE(
      Sync(&DeviceOperations::DoPrintRecItem, Fields({"Scone", "250", "1000", "1", "0", ""})).ok());
  ASSERT_TRUE(Sync(&DeviceOperations::DoGetVirtualTicket, Fields({"0"})).ok());
  const std::string ticket = OutText();
  EXPECT_NE(ticket.find("Scone"), std::string::npos);
  EXPECT_EQ(ticket, sim_->printer([](sim::Printer& p) { return DrainReportData(p); }));
}

TEST_F(DirectIOSimTest, PollingPeriodsChangeOnlyWhereNotMinusOne) {
  ASSERT_TRUE(Sync(&DeviceOperations::DoSetPollingTime, Fields({"1", "-1", "50", "-1"})).ok());
  EXPECT_EQ(OutText(), "");
  PollingTimes t = unit_.polling_times();
  EXPECT_EQ(t.polling, 1000u);
  EXPECT_EQ(t.after_sync, 50u);
  EXPECT_EQ(t.after_async, 100u);
  ASSERT_TRUE(Sync(&DeviceOperations::DoSetPollingTime, Fields({"0"})).ok());
  EXPECT_EQ(Sync(&DeviceOperations::DoSetPollingTime, Fields({"1", "-7", "0", "0"})).code, 106);
  t = unit_.polling_times();
  EXPECT_EQ(t.after_sync, 50u);
  EXPECT_EQ(t.after_async, 100u);
}

}  // namespace
}  // namespace kelo::device

// The windows against the real stack: the service object library talking to the printer
// simulator on a pseudo-terminal. Opt-in, because it needs both built:
//   KELO_REAL_SO=build/service/libsoKeloFpu.so KELO_SIM=build/simulator/kelofpu-sim
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "testapp/gui/gui_event_dispatcher.h"
#include "testapp/gui/tests/gui_test_support.h"

namespace kelo::testapp::testing {
namespace {

constexpr const char* kDeviceKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU";

class RealStackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* so = std::getenv("KELO_REAL_SO");
    const char* sim = std::getenv("KELO_SIM");
    if (!so || !*so || !sim || !*sim) {
      GTEST_SKIP() << "set KELO_REAL_SO (libsoKeloFpu.so) and KELO_SIM (kelofpu-sim) to run "
                      "the windows against the real service object and the simulator";
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("kelo_gui_real_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    const std::string link = (dir_ / "fpu").string();
    paper_ = (dir_ / "paper.txt").string();
    sim_.start(QString::fromLocal8Bit(sim),
               {QStringLiteral("--link"), QString::fromStdString(link), QStringLiteral("--paper"),
                QString::fromStdString(paper_), QStringLiteral("--state"),
                QString::fromStdString((dir_ / "state").string())});
    ASSERT_TRUE(sim_.waitForStarted(10000)) << sim_.errorString().toStdString();
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains("ready"); ++i) {
      sim_.waitForReadyRead(100);
      out += sim_.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("ready")) << out.toStdString();

    registry_ = (dir_ / "registry.reg").string();
    setenv("OPOS_REGISTRY", registry_.c_str(), 1);
    const auto registered = automation::RegisterServer(so);
    ASSERT_EQ(registered.hr, automation::S_OK) << registered.error;
    std::string error;
    ASSERT_TRUE(platform::ConfigStore(registry_).Update(
        [&](platform::RegistryData& data) {
          auto& key = data.CreateKey(kDeviceKey);
          key.Set("", platform::RegValue::String("soKeloFPU.KeloFPU"));
          key.Set("Port", platform::RegValue::String(link));
          key.Set("BaudRate", platform::RegValue::Dword(115200));
          key.Set("LogEnabled", platform::RegValue::Dword(1));
          key.Set("LogPath", platform::RegValue::String(dir_.string() + "/"));
        },
        &error))
        << error;

    dispatcher_ = MakeGuiEventDispatcher();
    control::FiscalPrinterOptions options;
    options.registry_file = registry_;
    options.dispatcher = dispatcher_;
    control_ = std::make_unique<control::FiscalPrinter>(options);
    window_ = std::make_unique<MDITestFPOPOS>(*control_, boxes_, dialogs_);
  }

  void TearDown() override {
    window_.reset();
    if (dispatcher_) dispatcher_->Shutdown();
    control_.reset();
    if (sim_.state() != QProcess::NotRunning) {
      sim_.kill();
      sim_.waitForFinished(5000);
    }
    unsetenv("OPOS_REGISTRY");
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  void Click(const QString& name, QWidget* root = nullptr) {
    auto* b = (root ? root : window_.get())->findChild<QAbstractButton*>(name);
    ASSERT_NE(b, nullptr) << name.toStdString();
    b->click();
  }

  std::filesystem::path dir_;
  std::string registry_;
  std::string paper_;
  QProcess sim_;
  RecordingBoxes boxes_;
  ScriptedDialogs dialogs_;
  std::shared_ptr<control::QueuedDispatcher> dispatcher_;
  std::unique_ptr<control::FiscalPrinter> control_;
  std::unique_ptr<MDITestFPOPOS> window_;
};

TEST_F(RealStackTest, SessionAndOneReceiptFromThePanels) {
  Click(QStringLiteral("cmdOCE"));
  ASSERT_TRUE(boxes_.shown.empty()) << boxes_.shown[0] << "\n" << window_->Log().Text();
  EXPECT_EQ(window_->findChild<QLabel*>(QStringLiteral("lblOposState"))->text(),
            QStringLiteral("OPOS_S_IDLE   (2)"));
  EXPECT_EQ(window_->findChild<QLabel*>(QStringLiteral("lblFPState"))->text(),
            QStringLiteral("FPTR_PS_MONITOR   (1)"));

  QWidget* fiscal = window_->Panel(QStringLiteral("frmFiscalTicket"));
  fiscal->findChild<QLineEdit*>(QStringLiteral("txtItemQty"))->setText(QStringLiteral("1"));
  Click(QStringLiteral("cmdBeginFiscalReceipt"), fiscal);
  Click(QStringLiteral("cmdPrintRecItem"), fiscal);
  auto* total = fiscal->findChild<QLineEdit*>(QStringLiteral("txtTicketTotal"));
  // The panel's total refresh asks the device for the running total.
  EXPECT_TRUE(WaitFor([&] { return total->text() != QStringLiteral("0"); }, 5000))
      << window_->Log().Text();
  Click(QStringLiteral("cmdPrintRecTotal"), fiscal);
  Click(QStringLiteral("cmdEndFiscalReceipt"), fiscal);
  EXPECT_TRUE(boxes_.shown.empty()) << boxes_.shown[0] << "\n" << window_->Log().Text();

  Click(QStringLiteral("cmdDRC"));
  // Close is not followed by a status refresh; the control itself is closed.
  EXPECT_EQ(LogLines(window_->Log()).back(), "Close()     -> OposSuccess(0)");
  EXPECT_EQ(control_->State(), 1);
  std::ifstream in(paper_);
  const std::string paper((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(paper.find("Articolo test1"), std::string::npos) << paper;
}

}  // namespace
}  // namespace kelo::testapp::testing

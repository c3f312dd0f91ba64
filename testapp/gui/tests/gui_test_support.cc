#include "testapp/gui/tests/gui_test_support.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <sstream>

#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "testapp/gui/gui_event_dispatcher.h"

namespace kelo::testapp::testing {

namespace {

// One QApplication for the whole test program, on the offscreen platform so that no display
// is needed.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "testapp_gui_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

constexpr const char* kDeviceKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\KeloFPU";

}  // namespace

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  return QTest::qWaitFor(done, timeout_ms);
}

std::vector<std::string> LogLines(const LogModel& log) {
  std::vector<std::string> lines;
  const std::string text = log.Text();
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void GuiTest::SetUp() {
  dir_ = std::filesystem::temp_directory_path() /
         ("kelo_gui_" + std::to_string(getpid()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(dir_);
  const std::string registry = (dir_ / "registry.reg").string();
  std::string error;
  ASSERT_TRUE(platform::ConfigStore(registry).Update(
      [](platform::RegistryData& data) {
        auto& key = data.CreateKey(kDeviceKey);
        key.Set("", platform::RegValue::String("KeloFake.Service"));
        key.Set("Port", platform::RegValue::String("/dev/null"));
      },
      &error))
      << error;

  fake_ = std::make_shared<control::testing::FakeServiceState>();
  fake_->Reset();
  dispatcher_ = MakeGuiEventDispatcher();
  control::FiscalPrinterOptions options;
  options.registry_file = registry;
  options.dispatcher = dispatcher_;
  auto fake = fake_;
  options.service_factory = [fake](const std::string&,
                                   automation::ComPtr<automation::IDispatch>* out) {
    *out =
        automation::ComPtr<automation::IDispatch>::Attach(control::testing::NewFakeService(fake));
    return automation::CreateResult{automation::S_OK, {}};
  };
  control_ = std::make_unique<control::FiscalPrinter>(options);
  window_ = std::make_unique<MDITestFPOPOS>(*control_, boxes_, dialogs_);
  // The fiscal panel's start-up total refresh would log (and record) a GetData half a second
  // into every test; the tests that want it start it themselves.
  if (auto* refresh = window_->findChild<QTimer*>(QStringLiteral("tmrUpdateReceiptTotal"))) {
    refresh->stop();
  }
}

void GuiTest::TearDown() {
  window_.reset();
  dispatcher_->Shutdown();
  control_.reset();
  std::filesystem::remove_all(dir_);
}

void GuiTest::Click(const QString& name, QWidget* root) {
  auto* button = Find<QAbstractButton>(name, root);
  ASSERT_NE(button, nullptr);
  button->click();
}

void GuiTest::SetNumber(int32_t index, int32_t value) {
  std::lock_guard<std::mutex> lock(fake_->mutex);
  fake_->numbers[index] = value;
}

void GuiTest::FailNextCall(int32_t code, int32_t extended, const std::string& error) {
  std::lock_guard<std::mutex> lock(fake_->mutex);
  fake_->next_result = code;
  fake_->next_extended = extended;
  fake_->next_error = error;
}

}  // namespace kelo::testapp::testing

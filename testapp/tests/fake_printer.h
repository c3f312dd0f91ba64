// A FiscalPrinter control object wired to an in-process fake service object, through a
// temporary configuration file that holds the device keys "KeloFPU" and "VantrixEj".
#pragma once
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "control/fiscal_printer.h"
#include "control/tests/fake_so/fake_service.h"
#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "testapp/core/macro_recorder.h"

namespace kelo::testapp::testing {

class FakePrinter {
 public:
  FakePrinter() : state(std::make_shared<control::testing::FakeServiceState>()) {
    static std::atomic<int> serial{0};
    dir = std::filesystem::temp_directory_path() /
          ("kelo_testapp_" + std::to_string(getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(dir);
    registry = (dir / "registry.reg").string();
    std::string error;
    platform::ConfigStore(registry).Update(
        [](platform::RegistryData& d) {
          for (const char* name : {"KeloFPU", "VantrixEj"}) {
            d.CreateKey(std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\"
                                    "FiscalPrinter\\") +
                        name)
                .Set("", platform::RegValue::String("KeloFake.Service"));
          }
        },
        &error);
    state->Reset();
    control::FiscalPrinterOptions options;
    options.registry_file = registry;
    options.service_factory = [s = state](const std::string&,
                                          automation::ComPtr<automation::IDispatch>* out) {
      *out = automation::ComPtr<automation::IDispatch>::Attach(control::testing::NewFakeService(s));
      return automation::CreateResult{automation::S_OK, {}};
    };
    printer = std::make_unique<control::FiscalPrinter>(std::move(options));
  }
  ~FakePrinter() {
    printer.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Calls the fake saw, without property traffic.
  std::vector<std::string> MethodCalls() {
    std::vector<std::string> out;
    for (auto& c : state->TakeCalls()) {
      if (c.rfind("GetProperty", 0) != 0) out.push_back(c);
    }
    return out;
  }

  std::filesystem::path dir;
  std::string registry;
  std::shared_ptr<control::testing::FakeServiceState> state;
  std::unique_ptr<control::FiscalPrinter> printer;
};

class VectorRecorder : public MacroRecorder {
 public:
  int AddCommand(const std::string& command) override {
    lines.push_back(command);
    return 0;
  }
  std::vector<std::string> lines;
};

}  // namespace kelo::testapp::testing

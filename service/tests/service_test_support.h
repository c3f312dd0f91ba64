// Shared pieces of the service tests: a temporary configuration file, a pseudo-terminal to
// stand for the printer's port, a fake control object, and a unit whose device steps are
// scripted.
#pragma once
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_port.h"
#include "opos/opos_constants.h"
#include "platform/automation/dispatch.h"
#include "platform/registry/config_store.h"
#include "service/fiscal_printer_unit.h"
#include "service/trace_log.h"

namespace kelo::service::testing {

namespace fs = std::filesystem;
using automation::ComPtr;
using automation::Variant;
using platform::RegValue;

inline constexpr char kDeviceName[] = "KeloFPU";

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "kelo-svc-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return (fs::path(path_) / name).string(); }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline std::string DeviceKey(const std::string& device_name = kDeviceName) {
  return "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\FiscalPrinter\\" + device_name;
}

// Writes (or replaces) the device key with the given values; with_default adds the key's
// default value as an installer would.
inline void WriteDeviceKey(const std::string& file,
                           const std::vector<std::pair<std::string, RegValue>>& values,
                           bool with_default = true, const std::string& device_name = kDeviceName) {
  std::string error;
  bool ok = platform::ConfigStore(file).Update(
      [&](platform::RegistryData& data) {
        data.DeleteKey(DeviceKey(device_name));
        platform::RegKey& key = data.CreateKey(DeviceKey(device_name));
        if (with_default) key.Set("", RegValue::String("soKeloFPU.KeloFPU"));
        for (const auto& [name, value] : values) key.Set(name, value);
      },
      &error);
  if (!ok) throw std::runtime_error(error);
}

// The slave side of a pseudo-terminal: a port the unit can open.
class Pty {
 public:
  Pty() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0) path_ = name;
  }
  ~Pty() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
  }
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// A control object offering (or withholding) the callback names and recording every call.
class FakeControl : public automation::DispatchObject {
 public:
  struct Call {
    std::string name;
    std::vector<int32_t> longs;  // the long arguments (by-reference ones read through)
    std::string text;            // SODirectIO's text
    std::thread::id thread;
  };

  static std::vector<std::string> AllNames() {
    return {"SODirectIO", "SOError", "SOOutputComplete", "SOStatusUpdate", "ControlObjectVersion"};
  }
  static ComPtr<FakeControl> Make(std::vector<std::string> names = AllNames()) {
    return ComPtr<FakeControl>(new FakeControl(std::move(names)));
  }

  automation::HRESULT Invoke(automation::DispId id, automation::InvokeKind, std::span<Variant> args,
                             Variant* result) override {
    const std::string name = member_names().at(static_cast<size_t>(id - 1));
    if (name == "ControlObjectVersion") {
      if (result) *result = Variant::Long(1011000);
      return automation::S_OK;
    }
    Call call{name, {}, {}, std::this_thread::get_id()};
    for (Variant& v : args) {
      if (v.type() == automation::VarType::TextRef) {
        call.text = *v.TextPtr();
      } else {
        call.longs.push_back(v.AsLong());
      }
    }
    if (name == "SOError" && args.size() == 4 && args[3].LongPtr()) {
      *args[3].LongPtr() = error_response.load();
    }
    if (on_call) on_call(call);
    {
      std::lock_guard<std::mutex> lock(mu_);
      calls_.push_back(call);
    }
    cv_.notify_all();
    return automation::S_OK;
  }

  std::vector<Call> calls() {
    std::lock_guard<std::mutex> lock(mu_);
    return calls_;
  }
  // Waits (at most 5 s, real time) until n calls were recorded.
  bool WaitForCalls(size_t n) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::seconds(5), [&] { return calls_.size() >= n; });
  }

  std::atomic<int32_t> error_response{11};
  // Runs inside every callback (set before the callbacks can come).
  std::function<void(const Call&)> on_call;

 private:
  explicit FakeControl(std::vector<std::string> names)
      : automation::DispatchObject(std::move(names)) {}

  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Call> calls_;
};

// A unit whose device steps are scripted: Connect answers connect_result (success by
// default) after running connect_hook.
class TestUnit : public CFiscalPrinterUnit {
 public:
  using CFiscalPrinterUnit::CFiscalPrinterUnit;

  device::DeviceResult connect_result{};
  std::function<void()> connect_hook;
  std::atomic<int> connects{0};
  std::atomic<int> disconnects{0};
  std::atomic<int> queue_clears{0};
  std::atomic<bool> port_open_at_connect{false};
  int32_t printer_state = opos::FPTR_PS_MONITOR;

 protected:
  device::DeviceResult Connect(int32_t) override {
    ++connects;
    port_open_at_connect = port_is_open();
    if (connect_hook) connect_hook();
    return connect_result;
  }
  void Disconnect() override { ++disconnects; }
  device::DeviceResult ReadPrinterState() override {
    SetNumberProperty(opos::PIDX_PrinterState, printer_state);
    return {};
  }
  void ClearOutputQueue() override { ++queue_clears; }

 private:
  bool port_is_open() { return port().is_open(); }
};

}  // namespace kelo::service::testing

// One unit's device layer on a real pseudo-terminal against its own simulator, on a clock ten
// times faster than real time: what ClaimDevice builds, without the automation face.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <memory>
#include <string>

#include "device/device_unit.h"
#include "link/serial_port.h"
#include "simulator/simulator.h"
#include "testing/scaled_clock.h"
#include "tests/faults/fault_fixture.h"

namespace kelo::faults {

using device::DeviceOperations;
using device::DeviceResult;

class DeviceRig {
 public:
  // name makes the link path and the state file unique per rig.
  explicit DeviceRig(const std::string& name, sim::FaultRates rates = {}) {
    base_ = "/tmp/kelofpu-faults-" + std::to_string(getpid()) + "-" + name;
    link_path_ = base_ + ".tty";
    state_file_ = base_ + ".state";
    std::remove(state_file_.c_str());
    rates_ = rates;
  }
  ~DeviceRig() {
    unit_.Disconnect();
    port_.Close();
    if (sim_) sim_->Stop();
    std::remove(state_file_.c_str());
  }

  // Starts (or restarts) the printer: its fiscal memory survives in the state file, as a
  // real printer's does across a power cut or an unplugged cable.
  void StartPrinter() {
    sim::SimulatorOptions o;
    o.ticks = &clock_;
    o.state_file = state_file_;
    o.faults = rates_;
    sim_ = std::make_unique<sim::Simulator>(o);
    std::string error;
    ASSERT_TRUE(sim_->Start(&error)) << error;
    ASSERT_TRUE(sim_->LinkAt(link_path_, &error)) << error;
  }
  void StopPrinter() { sim_->Stop(); }

  // What ClaimDevice does: open the port, attach it, connect, read the configuration.
  void Claim() {
    ASSERT_EQ(port_.Open(link_path_), link::kPortOk);
    port_.SetLine(38400, 8, link::kParityNone, link::kStopBitsOne);
    port_.SetReadTimeouts(30);
    unit_.SetPollingTimes(1000, 100, 100);
    unit_.AttachPort(&port_);
    ASSERT_TRUE(unit_.Connect(3000).ok());
    device::ConfigRecord rec;
    ASSERT_TRUE(unit_.ReadConfiguration(&rec));
    host_.SetNumberProperty(opos::PIDX_NumVatRates, rec.num_vat_rates);
    host_.SetNumberProperty(opos::PIDX_MessageLength, rec.message_length);
    unit_.ReadPrinterState();
  }
  // What ReleaseDevice does.
  void Release() {
    unit_.Disconnect();
    port_.Close();
  }

  DeviceResult Sync(device::DeviceOp op, const std::string& input) {
    std::string out;
    return unit_.RunDeviceOpSync(op, input, out, ++output_id_);
  }
  // Through RunDeviceOp: queued when the AsyncMode property is 1. Returns the OutputID.
  int32_t Queue(device::DeviceOp op, const std::string& input) {
    std::string out;
    const int32_t id = ++output_id_;
    EXPECT_TRUE(unit_.RunDeviceOp(op, input, out, id).ok());
    return id;
  }
  void SetAsync(bool on) { host_.SetNumberProperty(opos::PIDX_AsyncMode, on ? 1 : 0); }
  int32_t PrinterState() { return host_.GetNumberProperty(opos::PIDX_PrinterState); }

  // One complete receipt of items (price in hundredths), paid in cash, synchronously.
  bool SellReceipt(const std::vector<std::pair<std::string, int64_t>>& items) {
    if (!Sync(&DeviceOperations::DoBeginFiscalReceipt, Fields({"0"})).ok()) return false;
    int64_t total = 0;
    for (const auto& [description, price] : items) {
      total += price;
      if (!Sync(&DeviceOperations::DoPrintRecItem,
                Fields({description, std::to_string(price), "1000", "1", "0", ""}))
               .ok()) {
        return false;
      }
    }
    const std::string t = std::to_string(total);
    if (!Sync(&DeviceOperations::DoPrintRecTotal, Fields({t, t, "0"})).ok()) return false;
    return Sync(&DeviceOperations::DoEndFiscalReceipt, Fields({"0"})).ok();
  }

  sim::Simulator& sim() { return *sim_; }
  FaultHost& host() { return host_; }
  device::DeviceUnit& unit() { return unit_; }
  const std::string& link_path() const { return link_path_; }

 private:
  std::string base_;
  std::string link_path_;
  std::string state_file_;
  sim::FaultRates rates_;
  kelo::testing::ScaledClock clock_{kTimeScale};
  std::unique_ptr<sim::Simulator> sim_;
  link::SerialPort port_{link::LinuxSerialOs(), clock_};
  FaultHost host_;
  device::DeviceUnit unit_{host_, clock_};
  int32_t output_id_ = 0;
};

}  // namespace kelo::faults

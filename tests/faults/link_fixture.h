// The protocol engine on a real pseudo-terminal, behind a LineTap, against the simulator,
// all on a clock ten times faster than real time.
#pragma once
#include <gtest/gtest.h>

#include "link/fpu_protocol.h"
#include "link/serial_port.h"
#include "simulator/simulator.h"
#include "testing/scaled_clock.h"
#include "tests/faults/fault_fixture.h"
#include "tests/soak/line_tap.h"

namespace kelo::faults {

class LinkFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tap_.Start(sim_, &error)) << error;
    ASSERT_EQ(port_.Open(tap_.slave_path()), link::kPortOk);
    port_.SetLine(38400, 8, link::kParityNone, link::kStopBitsOne);
    port_.SetReadTimeouts(30);
    proto_.SetPort(&port_);
    proto_.Start();
  }
  void TearDown() override {
    proto_.Stop();
    port_.Close();
    tap_.Stop();
    sim_.Stop();
  }
  static sim::SimulatorOptions Options(platform::Clock* clock) {
    sim::SimulatorOptions o;
    o.ticks = clock;
    return o;
  }
  sim::ExchangeCounters Exchanges() { return sim_.exchange_counters(); }

  kelo::testing::ScaledClock clock_{kTimeScale};
  sim::Simulator sim_{Options(&clock_)};
  soak::LineTap tap_;
  link::SerialPort port_{link::LinuxSerialOs(), clock_};
  link::FpuProtocol proto_{clock_};
};

}  // namespace kelo::faults

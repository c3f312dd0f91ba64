// A protocol engine on a scripted printer in virtual time.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/fpu_protocol.h"
#include "link/serial_port.h"
#include "link/tests/scripted_printer.h"
#include "testing/fake_serial_os.h"

namespace kelo::link::testing {

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(port_.Open("/dev/fake"), kPortOk);
    ASSERT_EQ(proto_.SetPort(&port_), LINK_OK);
    ASSERT_EQ(proto_.Start(), LINK_OK);
  }
  void TearDown() override { proto_.Stop(); }

  const SentCommand& Last() { return printer_.received.back(); }
  size_t Sent() const { return printer_.received.size(); }

  platform::FakeClock clock_{5000};
  FakeSerialOs os_{clock_};
  SerialPort port_{os_, clock_};
  ScriptedPrinter printer_{os_, clock_};
  FpuProtocol proto_{clock_};
};

}  // namespace kelo::link::testing

#include "link/serial_port.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "testing/fake_serial_os.h"

namespace kelo::link {
namespace {

using testing::FakeSerialOs;

class SerialPortTest : public ::testing::Test {
 protected:
  platform::FakeClock clock_{1000};
  FakeSerialOs os_{clock_};
  SerialPort port_{os_, clock_};

  // Position of a call in the record, or -1.
  int IndexOf(const std::string& call) {
    auto it = std::find(os_.calls.begin(), os_.calls.end(), call);
    return it == os_.calls.end() ? -1 : static_cast<int>(it - os_.calls.begin());
  }
};

TEST(SerialDevicePath, ComNamesMapToTtyS) {
  EXPECT_EQ(SerialDevicePath("\\\\.\\COM1"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("\\\\.\\COM12"), "/dev/ttyS11");
  EXPECT_EQ(SerialDevicePath("COM3"), "/dev/ttyS2");
  EXPECT_EQ(SerialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(SerialDevicePath("\\\\.\\COM0"), "\\\\.\\COM0");
  EXPECT_EQ(SerialDevicePath("COMX"), "COMX");
}

TEST_F(SerialPortTest, OpenStateChecks) {
  EXPECT_EQ(port_.Close(), kPortNotOpen);
  ASSERT_EQ(port_.Open("\\\\.\\COM2"), kPortOk);
  EXPECT_EQ(os_.calls.front(), "open /dev/ttyS1");
  size_t calls = os_.calls.size();
  EXPECT_EQ(port_.Open("/dev/other"), kPortAlreadyOpen);
  EXPECT_EQ(os_.calls.size(), calls);  // nothing touched
  EXPECT_TRUE(port_.is_open());
  EXPECT_EQ(port_.Close(), kPortOk);
  EXPECT_EQ(port_.Close(), kPortNotOpen);
}

TEST_F(SerialPortTest, RefusedOpenReportsOne) {
  os_.FailOpen(ENOENT);
  EXPECT_EQ(port_.Open("/dev/missing"), kPortOpenFailed);
  EXPECT_FALSE(port_.is_open());
}

TEST_F(SerialPortTest, OpenRaisesDtrThenRtsAndPurgesOutputThenInput) {
  os_.Deliver({1, 2, 3});  // stale input before the open
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  EXPECT_TRUE(os_.dtr);
  EXPECT_TRUE(os_.rts);
  EXPECT_LT(IndexOf("dtr+"), IndexOf("rts+"));
  EXPECT_LT(IndexOf("rts+"), IndexOf("flush-out"));
  EXPECT_LT(IndexOf("flush-out"), IndexOf("flush-in"));
  EXPECT_TRUE(port_.IsInputEmpty());
  EXPECT_EQ(port_.applied_read_multiplier(), 30);
  // Flow control is off and the line is raw.
  EXPECT_EQ(os_.last_attr.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(os_.last_attr.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(os_.last_attr.c_lflag & ICANON, 0u);
  EXPECT_EQ(cfgetospeed(&os_.last_attr), static_cast<speed_t>(B38400));

  ASSERT_EQ(port_.Close(), kPortOk);
  EXPECT_FALSE(os_.dtr);
  EXPECT_FALSE(os_.rts);
  EXPECT_LT(IndexOf("dtr-"), IndexOf("rts-"));
}

TEST_F(SerialPortTest, ModemLinesRefusedStillOpens) {
  os_.FailModemLines(ENOTTY);  // as on a pseudo-terminal
  EXPECT_EQ(port_.Open("/dev/pts/3"), kPortOk);
  EXPECT_EQ(port_.Close(), kPortOk);
}

TEST_F(SerialPortTest, SetLineStoresWhileClosedAndAppliesWhenOpen) {
  EXPECT_EQ(port_.SetLine(-1, -1, -1, -1), kPortOk);
  EXPECT_EQ(port_.baud_rate(), 38400u);
  EXPECT_EQ(port_.data_bits(), 8);
  EXPECT_EQ(port_.parity(), 0);
  EXPECT_EQ(port_.stop_bits(), 0);
  EXPECT_TRUE(os_.calls.empty());

  port_.SetLine(9600, 7, kParityEven, kStopBitsTwo);
  EXPECT_TRUE(os_.calls.empty());
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  EXPECT_EQ(cfgetispeed(&os_.last_attr), static_cast<speed_t>(B9600));
  EXPECT_EQ(os_.last_attr.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_NE(os_.last_attr.c_cflag & PARENB, 0u);
  EXPECT_EQ(os_.last_attr.c_cflag & PARODD, 0u);
  EXPECT_NE(os_.last_attr.c_cflag & CSTOPB, 0u);
  // Settings survive a close and are applied again by the next open.
  port_.Close();
  os_.last_attr = termios{};
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  EXPECT_EQ(cfgetispeed(&os_.last_attr), static_cast<speed_t>(B9600));
}

TEST_F(SerialPortTest, ParityCheckingFollowsTheArgumentAsPassed) {
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  port_.SetLine(-1, -1, 0, -1);
  EXPECT_EQ(os_.last_attr.c_iflag & INPCK, 0u);
  port_.SetLine(-1, -1, -1, -1);  // -1 on an open port: checking on, parity still none
  EXPECT_NE(os_.last_attr.c_iflag & INPCK, 0u);
  EXPECT_EQ(os_.last_attr.c_cflag & PARENB, 0u);
  port_.SetLine(-1, -1, kParityOdd, -1);
  EXPECT_NE(os_.last_attr.c_iflag & INPCK, 0u);
  EXPECT_NE(os_.last_attr.c_cflag & PARODD, 0u);
}

TEST_F(SerialPortTest, SameTimeoutTwiceIsAppliedOnce) {
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  EXPECT_EQ(port_.applied_read_multiplier(), 30);
  port_.SetReadTimeouts(30);
  EXPECT_EQ(port_.applied_read_multiplier(), 30);
  port_.Close();
  // Close keeps the applied value, so a second open does not apply 30 again.
  port_.SetReadTimeouts(30);
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  EXPECT_EQ(port_.applied_read_multiplier(), 30);
}

TEST_F(SerialPortTest, SilentReadEndsAfterConstantPlusMultiplierPerByte) {
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  uint8_t buf[8];
  for (uint32_t k : {1u, 2u, 5u}) {
    uint32_t start = clock_.TickMs();
    uint32_t count = k;
    port_.Read(buf, &count);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(clock_.TickMs() - start, 20 + 30 * k) << k << " bytes";
  }
}

TEST_F(SerialPortTest, ReadEndsTenMillisecondsAfterTheLastByte) {
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  os_.Deliver({0xA1}, 5);
  os_.Deliver({0xA2}, 12);  // 7 ms gap: still part of the read
  os_.Deliver({0xA3}, 40);  // 28 ms gap: after the read ended
  uint8_t buf[4] = {};
  uint32_t start = clock_.TickMs();
  uint32_t count = 4;
  port_.Read(buf, &count);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(buf[1], 0xA2);
  EXPECT_EQ(clock_.TickMs() - start, 22u);
}

TEST_F(SerialPortTest, ReadAvailableTakesEverythingBufferedInOneCall) {
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  os_.Deliver({1, 2, 3, 4, 5, 6}, 3);
  uint8_t buf[16];
  uint32_t got = 0;
  int reads = os_.reads;
  port_.ReadAvailable(buf, sizeof buf, 1, &got);
  EXPECT_EQ(got, 6u);
  EXPECT_EQ(os_.reads - reads, 1);
}

TEST_F(SerialPortTest, MultiplierZeroReturnsAtOnce) {
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  port_.SetReadTimeouts(0);
  os_.Deliver({9}, 1);
  uint8_t buf[4];
  uint32_t count = 4;
  uint32_t start = clock_.TickMs();
  port_.Read(buf, &count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(clock_.TickMs(), start);
  clock_.Advance(1);
  count = 4;
  port_.Read(buf, &count);
  EXPECT_EQ(count, 1u);
}

TEST_F(SerialPortTest, IsInputEmptyAndPurge) {
  uint32_t pending = 77;
  EXPECT_FALSE(port_.IsInputEmpty(&pending));
  EXPECT_EQ(pending, 77u);  // closed: not written
  ASSERT_EQ(port_.Open("/dev/x"), kPortOk);
  os_.Deliver({1, 2, 3});
  os_.Deliver({4}, 50);  // still on its way: a purge does not reach it
  EXPECT_FALSE(port_.IsInputEmpty(&pending));
  EXPECT_EQ(pending, 3u);
  port_.PurgeInput();
  EXPECT_TRUE(port_.IsInputEmpty(&pending));
  EXPECT_EQ(pending, 0u);
  EXPECT_EQ(os_.Queued(), 1u);
}

TEST_F(SerialPortTest, ClosedPortReadsNothingAndWritesNothing) {
  uint8_t buf[2] = {1, 2};
  uint32_t count = 2;
  EXPECT_EQ(port_.Read(buf, &count), kPortOk);
  EXPECT_EQ(count, 0u);
  uint32_t written = 9;
  EXPECT_EQ(port_.Write(buf, 2, &written), kPortOk);
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(os_.writes.empty());
}

}  // namespace
}  // namespace kelo::link

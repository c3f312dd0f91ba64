#include "link/serial_port.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

#include <sys/ioctl.h>

#include "link/tcp_address.h"

namespace kelo::link {
namespace {

// Read time-outs of the line: 10 ms between bytes once they flow, 20 ms constant plus the
// multiplier per byte in total.
constexpr uint32_t kReadIntervalMs = 10;
constexpr uint32_t kReadTotalConstantMs = 20;
constexpr int32_t kOpenReadMultiplier = 30;

struct BaudEntry {
  uint32_t baud;
  speed_t code;
};
constexpr BaudEntry kBauds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool BaudCode(uint32_t baud, speed_t* code) {
  for (const auto& e : kBauds) {
    if (e.baud == baud) {
      *code = e.code;
      return true;
    }
  }
  return false;
}

}  // namespace

bool SerialPort::SupportedBaud(uint32_t baud) {
  speed_t code;
  return BaudCode(baud, &code);
}

namespace {

tcflag_t SizeFlag(int32_t data_bits) {
  switch (data_bits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

}  // namespace

std::vector<uint32_t> SupportedLineSpeeds() {
  std::vector<uint32_t> speeds;
  for (const auto& e : kBauds) speeds.push_back(e.baud);
  return speeds;
}

bool LineSpeedSupported(uint32_t baud) {
  speed_t code;
  return BaudCode(baud, &code);
}

std::string SerialDevicePath(const std::string& name) {
  std::string_view s = name;
  if (s.starts_with("\\\\.\\")) s.remove_prefix(4);
  if (s.size() > 3 && std::toupper(static_cast<unsigned char>(s[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(s[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(s[2])) == 'M' &&
      std::all_of(s.begin() + 3, s.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
      s.size() <= 9) {
    long n = std::stol(std::string(s.substr(3)));
    if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
  }
  return name;
}

SerialPort::SerialPort(SerialOs& os, platform::Clock& clock, SerialOs& network_os)
    : serial_os_(os), network_os_(network_os), os_(&serial_os_), clock_(clock) {}

SerialPort::~SerialPort() {
  Close();
}

int32_t SerialPort::Open(const std::string& path) {
  if (fd_ >= 0) return kPortAlreadyOpen;
  open_error_ = 0;
  peer_.clear();
  const bool network = IsTcpPortName(path);
  // The line speed of a network port is the device server's setting, not checked here.
  if (!network && !SupportedBaud(baud_rate_)) {
    open_error_ = EINVAL;
    return kPortOpenFailed;
  }
  os_ = network ? &network_os_ : &serial_os_;
  int fd = -1;
  const std::string device = network ? path : SerialDevicePath(path);
  if (const int err = os_->Open(device, &fd); err != 0 || fd < 0) {
    open_error_ = err != 0 ? err : EIO;
    return kPortOpenFailed;
  }
  fd_ = fd;
  path_ = device;
  peer_ = os_->Peer(fd_);
  lost_ = false;
  // The results of the settings below are not checked: a pseudo-terminal refuses some of
  // them (modem lines) and still carries the traffic.
  ApplyLine(parity_ != kParityNone);
  termios tio{};
  if (os_->GetAttr(fd_, &tio) == 0) {
    // Only the flow-control items change; everything else keeps what the driver reported.
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    os_->SetAttr(fd_, tio);
  }
  SetReadTimeouts(kOpenReadMultiplier);
  os_->SetModemLine(fd_, TIOCM_DTR, true);
  os_->SetModemLine(fd_, TIOCM_RTS, true);
  os_->Flush(fd_, TCOFLUSH);
  os_->Flush(fd_, TCIFLUSH);
  return kPortOk;
}

int32_t SerialPort::Close() {
  if (fd_ < 0) return kPortNotOpen;
  os_->SetModemLine(fd_, TIOCM_DTR, false);
  os_->SetModemLine(fd_, TIOCM_RTS, false);
  os_->Close(fd_);
  fd_ = -1;
  return kPortOk;
}

int32_t SerialPort::Reopen() {
  if (path_.empty()) return kPortOpenFailed;
  if (fd_ >= 0) {
    // The modem lines of a dead descriptor cannot be lowered; only the handle goes.
    os_->Close(fd_);
    fd_ = -1;
  }
  lost_ = true;  // until the open below succeeds
  return Open(path_);
}

bool SerialPort::NoteLineError(int err) {
  switch (err) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case EBADF:
    // The end of a network connection: the peer closed or reset it, or it timed out
    // (keep-alive, unacknowledged data, a route that went away).
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
      lost_ = true;
      return true;
    default:
      return false;
  }
}

bool SerialPort::NoticeHangUp() {
  if (fd_ >= 0 && !lost_ && os_->PeerClosed(fd_)) lost_ = true;
  return lost_;
}

int32_t SerialPort::SetLine(int32_t baud, int32_t data_bits, int32_t parity, int32_t stop_bits) {
  if (baud != -1) baud_rate_ = static_cast<uint32_t>(baud);
  if (data_bits != -1) data_bits_ = data_bits;
  if (parity != -1) parity_ = parity;
  if (stop_bits != -1) stop_bits_ = stop_bits;
  if (fd_ < 0) return kPortOk;
  // Parity checking follows the argument as passed, so -1 on an open port turns it on.
  ApplyLine(parity != kParityNone);
  return kPortOk;
}

void SerialPort::ApplyLine(bool parity_check) {
  // Built from zero: raw bytes, no echo, no translation, no flow control, reads that never
  // block in the driver (VMIN = VTIME = 0; the waiting is done with poll()).
  termios tio{};
  tio.c_cflag = CREAD | CLOCAL | SizeFlag(data_bits_);
  switch (parity_) {
    case kParityOdd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case kParityEven:
      tio.c_cflag |= PARENB;
      break;
    case kParityMark:
      tio.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case kParitySpace:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (stop_bits_ != kStopBitsOne) tio.c_cflag |= CSTOPB;
  if (parity_check) tio.c_iflag |= INPCK;
  speed_t code;
  if (!BaudCode(baud_rate_, &code)) code = B38400;  // a rate the line cannot take
  cfsetispeed(&tio, code);
  cfsetospeed(&tio, code);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  os_->SetAttr(fd_, tio);
}

int32_t SerialPort::SetReadTimeouts(int32_t multiplier) {
  // On Linux the time-outs are not a driver setting: every read applies them with poll(),
  // so a newly opened descriptor needs nothing applied again.
  if (multiplier == applied_read_multiplier_) return kPortOk;
  applied_read_multiplier_ = multiplier;
  return kPortOk;
}

int32_t SerialPort::Write(const uint8_t* buffer, uint32_t count, uint32_t* written) {
  uint32_t total = 0;
  // Write time-outs are off, as on the original line: the descriptor blocks until the
  // driver takes the bytes. Output flow control is off, so the driver always drains; a
  // frame is at most 1024 bytes.
  while (fd_ >= 0 && !lost_ && total < count) {
    size_t put = 0;
    int err = os_->Write(fd_, buffer + total, count - total, &put);
    if (err == EINTR) continue;
    if (err != 0) NoteLineError(err);
    if (err != 0 || put == 0) break;
    total += static_cast<uint32_t>(put);
  }
  if (written) *written = total;
  return kPortOk;
}

int32_t SerialPort::Read(uint8_t* buffer, uint32_t* count) {
  *count = TimedRead(buffer, *count, *count, UINT32_MAX);
  return kPortOk;
}

int32_t SerialPort::ReadAvailable(uint8_t* buffer, uint32_t capacity, uint32_t wanted,
                                  uint32_t* got, uint32_t limit_ms) {
  if (wanted > capacity) wanted = capacity;
  *got = TimedRead(buffer, capacity, wanted, limit_ms);
  return kPortOk;
}

uint32_t SerialPort::TimedRead(uint8_t* buffer, uint32_t capacity, uint32_t wanted,
                               uint32_t limit_ms) {
  if (fd_ < 0 || lost_ || capacity == 0) return 0;
  uint32_t got = 0;
  auto read_once = [&]() -> int {
    size_t n = 0;
    int err = os_->Read(fd_, buffer + got, capacity - got, &n);
    if (err == 0) got += static_cast<uint32_t>(n);
    // Readable and nothing to read is a hang-up: the line gives nothing more.
    if (err == 0 && n == 0) err = EIO;
    NoteLineError(err);
    return err;
  };
  int32_t multiplier = applied_read_multiplier_ < 0 ? 0 : applied_read_multiplier_;
  if (multiplier == 0) {
    // Return at once with what is already buffered.
    bool readable = false;
    if (os_->Poll(fd_, 0, &readable) == 0 && readable) read_once();
    return got;
  }
  uint64_t total64 = kReadTotalConstantMs + static_cast<uint64_t>(multiplier) * wanted;
  uint32_t total = total64 > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<uint32_t>(total64);
  total = std::min(total, limit_ms);
  uint32_t start = clock_.TickMs();
  uint32_t last_byte = start;
  while (got < wanted) {
    uint32_t now = clock_.TickMs();
    uint32_t elapsed = platform::TicksSince(start, now);
    if (elapsed >= total) break;
    uint32_t wait = total - elapsed;
    if (got > 0) {
      uint32_t quiet = platform::TicksSince(last_byte, now);
      if (quiet >= kReadIntervalMs) break;
      wait = std::min(wait, kReadIntervalMs - quiet);
    }
    bool readable = false;
    int err = os_->Poll(fd_, wait, &readable);
    if (err == EINTR) continue;
    if (err == 0 && readable) {
      err = read_once();
      if (err == 0) {
        last_byte = clock_.TickMs();
        continue;
      }
      if (err == EINTR || err == EAGAIN) continue;
    }
    if (lost_) break;  // a dead descriptor: nothing will come, so waiting gains nothing
    if (err != 0) {
      // Any other failure behaves like a silent line: the read ends by its time-outs,
      // without spinning on the error.
      uint32_t spent = platform::TicksSince(start, clock_.TickMs());
      if (got == 0 && spent < total) clock_.SleepMs(total - spent);
      break;
    }
  }
  return got;
}

int32_t SerialPort::PurgeInput() {
  if (fd_ < 0) return kPortOk;
  const int err = os_->Flush(fd_, TCIFLUSH);
  // Draining a connection meets its end before the next command is sent (a serial line's
  // flush says nothing about the line).
  if (network()) NoteLineError(err);
  return kPortOk;
}

bool SerialPort::IsInputEmpty(uint32_t* pending) {
  if (fd_ < 0) return false;
  int count = 0;
  if (os_->InputPending(fd_, &count) != 0 || count < 0) count = 0;
  if (pending) *pending = static_cast<uint32_t>(count);
  return count == 0;
}

}  // namespace kelo::link

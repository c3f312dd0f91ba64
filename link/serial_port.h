// The printer's serial line: one open descriptor of a tty in raw mode, synchronous reads and
// writes with the read time-out arithmetic the exchange engine relies on. A port name
// "tcp:HOST:PORT" (link/tcp_address.h) carries the same bytes over a TCP connection to a
// serial device server instead; everything above the SerialOs calls stays the same.
//
// The system calls sit behind SerialOs so that line settings, modem-line order and the
// time-out arithmetic can be checked without hardware. Every SerialOs call returns 0 or the
// errno value read right at the system call; nothing else in the link looks at errno.
#pragma once
#include <termios.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/clock.h"

namespace kelo::link {

// Result codes of SerialPort.
inline constexpr int32_t kPortOk = 0;
inline constexpr int32_t kPortOpenFailed = 1;   // the operating system refused the path
inline constexpr int32_t kPortAlreadyOpen = 2;  // Open on an open port
inline constexpr int32_t kPortNotOpen = 3;      // Close on a closed port

// Parity codes (stored as given, mapped onto termios when applied).
inline constexpr int32_t kParityNone = 0;
inline constexpr int32_t kParityOdd = 1;
inline constexpr int32_t kParityEven = 2;
inline constexpr int32_t kParityMark = 3;
inline constexpr int32_t kParitySpace = 4;
// Stop-bit codes.
inline constexpr int32_t kStopBitsOne = 0;
inline constexpr int32_t kStopBitsOneHalf = 1;  // no termios form: applied as two
inline constexpr int32_t kStopBitsTwo = 2;

// The TCP connection of a "tcp:" port: connect time-out (every address of the host
// together), keep-alive (a silent dead peer is noticed after idle + count * interval, 11 s)
// and the longest wait for the peer to acknowledge sent bytes.
inline constexpr uint32_t kTcpConnectTimeoutMs = 2000;
inline constexpr int kTcpKeepIdleS = 5;
inline constexpr int kTcpKeepIntervalS = 2;
inline constexpr int kTcpKeepCount = 3;
inline constexpr int kTcpUserTimeoutMs = 11000;
// open_error() of a "tcp:" port whose host name does not resolve (no errno says that).
inline constexpr int kOpenErrorUnresolved = -1;

// The operating-system calls a SerialPort makes. Each returns 0 or an errno value, except
// PeerClosed and Peer.
class SerialOs {
 public:
  virtual ~SerialOs() = default;
  virtual int Open(const std::string& path, int* fd) = 0;  // read/write, no controlling tty
  virtual int Close(int fd) = 0;
  virtual int GetAttr(int fd, termios* tio) = 0;
  virtual int SetAttr(int fd, const termios& tio) = 0;
  // Raises (on) or lowers one modem line; line is TIOCM_DTR or TIOCM_RTS.
  virtual int SetModemLine(int fd, int line, bool on) = 0;
  // queue is TCIFLUSH or TCOFLUSH.
  virtual int Flush(int fd, int queue) = 0;
  // Waits at most timeout_ms (0: just looks) until input is readable.
  virtual int Poll(int fd, uint32_t timeout_ms, bool* readable) = 0;
  // One read() of at most count bytes; *got receives what came (0 on end of input).
  virtual int Read(int fd, uint8_t* buffer, size_t count, size_t* got) = 0;
  // One write() of at most count bytes; *put receives what the driver took.
  virtual int Write(int fd, const uint8_t* buffer, size_t count, size_t* put) = 0;
  // Bytes received and not yet read.
  virtual int InputPending(int fd, int* count) = 0;
  // True when the other end is known to have closed (a network connection; a serial line
  // tells by failing its next read instead). Looks without waiting or reading.
  virtual bool PeerClosed(int /*fd*/) { return false; }
  // The other end as "host:port" for a network connection; empty for a serial line.
  virtual std::string Peer(int /*fd*/) { return {}; }
};

// The real calls of this process: on a terminal, and on a TCP connection ("tcp:" names;
// Open connects, with kTcpConnectTimeoutMs; open errors are errno values or
// kOpenErrorUnresolved).
SerialOs& LinuxSerialOs();
SerialOs& TcpSerialOs();

// Maps a configured port name to a device path: "\\.\COMn" (and "COMn") becomes
// /dev/ttyS(n-1); anything else is taken as a path as it stands.
std::string SerialDevicePath(const std::string& name);

// The line speeds a serial port can be set to (in ascending order); any other configured
// speed opens the line at 38400.
std::vector<uint32_t> SupportedLineSpeeds();
bool LineSpeedSupported(uint32_t baud);

class SerialPort {
 public:
  // The clock measures the read time-outs; the references must outlive the port. os serves
  // device paths, network_os "tcp:" names.
  explicit SerialPort(SerialOs& os = LinuxSerialOs(),
                      platform::Clock& clock = platform::SystemClock(),
                      SerialOs& network_os = TcpSerialOs());
  virtual ~SerialPort();  // closes the port, ignoring the result
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // 0, kPortOpenFailed or kPortAlreadyOpen. A path that is not a terminal is refused (ENOTTY)
  // without a byte written to it; so is a rate the line cannot take (EINVAL). The system's
  // reason for the last failed open is kept (open_error()). A "tcp:HOST:PORT" name connects
  // instead (the line settings are kept but not applied: the device server owns them).
  virtual int32_t Open(const std::string& path);
  // errno of the last failed Open (ENOTTY: not a terminal; EBUSY: held by another opener;
  // for "tcp:": EINVAL a malformed name, kOpenErrorUnresolved, ECONNREFUSED, ETIMEDOUT...).
  int open_error() const { return open_error_; }
  // A line speed the port can be set to.
  static bool SupportedBaud(uint32_t baud);
  // 0 or kPortNotOpen.
  virtual int32_t Close();
  // An argument of -1 keeps the stored value. Applied at once when open. Returns 0.
  virtual int32_t SetLine(int32_t baud, int32_t data_bits, int32_t parity, int32_t stop_bits);
  // Per-byte read multiplier in ms; 0 makes reads return at once with what is buffered.
  // A read of k bytes ends after at most 20 + multiplier*k ms, or 10 ms after the last byte
  // once bytes flow. Returns 0.
  virtual int32_t SetReadTimeouts(int32_t multiplier);
  // Writes the whole buffer; *written receives what the driver took. Returns 0.
  virtual int32_t Write(const uint8_t* buffer, uint32_t count, uint32_t* written);
  // Reads at most *count bytes under the read time-outs; *count receives what was read
  // (0 when the time-outs ran out first or the port is closed). Returns 0.
  virtual int32_t Read(uint8_t* buffer, uint32_t* count);
  // Like Read of `wanted` bytes for the time-outs, but every read() takes whatever is
  // already buffered, up to capacity, so a whole frame usually comes in one call. The wait
  // never exceeds limit_ms (the caller's own deadline). *got receives the number read.
  // Returns 0.
  virtual int32_t ReadAvailable(uint8_t* buffer, uint32_t capacity, uint32_t wanted, uint32_t* got,
                                uint32_t limit_ms = UINT32_MAX);
  // Discards received, unread input. Returns 0.
  virtual int32_t PurgeInput();
  // False when closed (pending untouched); otherwise true when nothing waits to be read.
  virtual bool IsInputEmpty(uint32_t* pending = nullptr);

  // True once the open descriptor is known dead: a hang-up, or a read or write that failed
  // with EIO, ENXIO, ENODEV or EBADF (an unplugged USB adapter, a pseudo-terminal whose
  // other end closed); on a network port also the end of the connection (EOF, a reset, a
  // keep-alive or acknowledgement time-out). From then on reads and writes return at once without
  // touching the line, so no exchange waits out its time-outs on it; only Reopen (or Close and
  // Open) clears it. Safe to read from any thread.
  bool lost() const { return lost_.load(); }
  // Looks, without waiting, whether a network peer has closed the connection while no
  // exchange ran, and marks the port lost if so; returns lost(). A serial line is left alone.
  // Safe beside an exchange on another thread (it only polls); not beside Open or Reopen.
  bool NoticeHangUp();
  // Closes the dead descriptor and opens the path of the last successful Open again with the
  // same line settings. 0, or kPortOpenFailed while the path cannot be opened (the device
  // is not back yet); the port then stays closed and lost.
  virtual int32_t Reopen();
  // The path the port was last opened on (empty before the first Open).
  const std::string& path() const { return path_; }

  bool is_open() const { return fd_ >= 0; }
  // True while the open port (or the last one opened) is a network connection.
  bool network() const { return os_ == &network_os_; }
  // The connected peer of a network port ("192.0.2.7:4001"); empty for a serial line.
  const std::string& peer() const { return peer_; }
  uint32_t baud_rate() const { return baud_rate_; }
  int32_t data_bits() const { return data_bits_; }
  int32_t parity() const { return parity_; }
  int32_t stop_bits() const { return stop_bits_; }
  int32_t applied_read_multiplier() const { return applied_read_multiplier_; }

 private:
  void ApplyLine(bool parity_check);
  // The read loop shared by Read and ReadAvailable.
  uint32_t TimedRead(uint8_t* buffer, uint32_t capacity, uint32_t wanted, uint32_t limit_ms);
  // Marks the port lost when err says the descriptor is dead; true when it did.
  bool NoteLineError(int err);

  SerialOs& serial_os_;
  SerialOs& network_os_;
  SerialOs* os_;  // the one of the two the port was last opened with
  platform::Clock& clock_;
  int fd_ = -1;
  int open_error_ = 0;
  uint32_t baud_rate_ = 38400;
  int32_t data_bits_ = 8;
  int32_t parity_ = kParityNone;
  int32_t stop_bits_ = kStopBitsOne;
  int32_t applied_read_multiplier_ = -1;
  std::string path_;
  std::string peer_;
  std::atomic<bool> lost_{false};
};

}  // namespace kelo::link

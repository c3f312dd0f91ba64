// The serial port of the unit: opened by ClaimDevice with the configured line speed and
// port name, closed by ReleaseDevice, by a failed claim and by destruction.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "link/serial_port.h"
#include "link/tcp_address.h"
#include "opos/opos_constants.h"
#include "service/fiscal_printer_unit.h"
#include "service/trace_log.h"

namespace kelo::service {

namespace {

// What the path is, for the refusal of something that is not a terminal.
std::string PathKind(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "not a terminal";
  if (S_ISREG(st.st_mode)) return "a regular file, not a terminal";
  if (S_ISDIR(st.st_mode)) return "a directory, not a terminal";
  if (S_ISFIFO(st.st_mode)) return "a FIFO, not a terminal";
  if (S_ISSOCK(st.st_mode)) return "a socket, not a terminal";
  return "a device that is not a terminal";
}

// Why a "tcp:" port did not connect.
std::string NetworkPortFailure(const std::string& name, int err) {
  switch (err) {
    case EINVAL: {
      link::TcpAddress address;
      std::string why;
      link::ParseTcpPortName(name, &address, &why);
      return "Port " + why;
    }
    case link::kOpenErrorUnresolved:
      return "Port " + name + ": the host name does not resolve";
    case ECONNREFUSED:
      return "Port " + name + ": connection refused (nothing listens on that port)";
    case ETIMEDOUT:
      return "Port " + name + ": no connection within " +
             std::to_string(link::kTcpConnectTimeoutMs) + " ms";
    case EHOSTUNREACH:
    case ENETUNREACH:
      return "Port " + name + ": the host cannot be reached";
    default:
      return "Port " + name + ": cannot connect (" + std::strerror(err) + ")";
  }
}

}  // namespace

int32_t CFiscalPrinterUnit::OpenSerialPort() {
  const UnitConfig cfg = config();
  if (!cfg.port_configured) {
    trace::Printf(trace::kLevelMethods,
                  "CFiscalPrinterUnit::ClaimDevice no Port value: using the default %s (%s)\n",
                  cfg.port.c_str(), link::SerialDevicePath(cfg.port).c_str());
  }
  port_->SetLine(static_cast<int32_t>(cfg.baud_rate), 8, link::kParityNone, link::kStopBitsOne);
  if (link::IsTcpPortName(cfg.port)) {
    const int32_t r = port_->Open(cfg.port);
    if (r == link::kPortOk) {
      trace::Printf(trace::kLevelMethods,
                    "CFiscalPrinterUnit::ClaimDevice Port %s connected to %s (BaudRate %u is the "
                    "device server's setting, not applied)\n",
                    cfg.port.c_str(), port_->peer().c_str(), cfg.baud_rate);
    }
    return r;
  }
  // "\\.\COMn" names /dev/ttyS(n-1); a device path is opened as it stands.
  return port_->Open(link::SerialDevicePath(cfg.port));
}

device::DeviceResult CFiscalPrinterUnit::PortOpenFailure() {
  const UnitConfig cfg = config();
  const std::string path = link::SerialDevicePath(cfg.port);
  const int err = port_->open_error();
  device::DeviceResult r{opos::OPOS_E_NOHARDWARE, 0, {}};
  if (link::IsTcpPortName(cfg.port)) {
    r.text = NetworkPortFailure(cfg.port, err);
    trace::Printf(trace::kLevelMethods, "CFiscalPrinterUnit::ClaimDevice %s\n", r.text.c_str());
    return r;
  }
  switch (err) {
    case ENOENT:
      r.text = "Port " + path + " does not exist";
      break;
    case EACCES:
    case EPERM:
      r.text =
          "No permission to open port " + path + " (the user must belong to the dialout group)";
      break;
    case EBUSY:
      r.code = opos::OPOS_E_CLAIMED;
      r.text = "Port " + path + " is claimed by another program";
      break;
    case ENOTTY:
      r.text = "Port " + path + " is " + PathKind(path) + "; nothing was written to it";
      break;
    case EINVAL:
      r.text = "BaudRate " + std::to_string(cfg.baud_rate) + " is not a speed port " + path +
               " can be set to";
      break;
    default:
      r.text = "Cannot open communication port " + path;
      break;
  }
  trace::Printf(trace::kLevelMethods, "CFiscalPrinterUnit::ClaimDevice %s: %s\n", r.text.c_str(),
                std::strerror(err));
  return r;
}

void CFiscalPrinterUnit::CloseSerialPort() {
  if (port_->is_open()) port_->Close();
}

}  // namespace kelo::service

// The real system calls behind SerialOs. errno is read here, right after each call, and
// nowhere else in the link.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "link/serial_port.h"

namespace kelo::link {
namespace {

class LinuxOs : public SerialOs {
 public:
  int Open(const std::string& path, int* fd) override {
    // Non-blocking so that a FIFO or a device that waits for carrier cannot hold the claim.
    int f = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (f < 0) return errno == EISDIR ? ENOTTY : errno;
    auto refuse = [f](int err) {
      ::close(f);
      return err;
    };
    // Only terminals: a regular file, directory or FIFO would take the probe frame as data.
    struct stat st {};
    if (::fstat(f, &st) != 0) return refuse(errno);
    if (!S_ISCHR(st.st_mode) || !::isatty(f)) return refuse(ENOTTY);
    // No sharing: a second opener of the same line is refused, by this library (the advisory
    // lock, which ends with the descriptor) and by other programs (exclusive mode).
    if (::flock(f, LOCK_EX | LOCK_NB) != 0) return refuse(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(f, TIOCEXCL) != 0) return refuse(errno);
    const int flags = ::fcntl(f, F_GETFL);
    if (flags < 0 || ::fcntl(f, F_SETFL, flags & ~O_NONBLOCK) != 0) return refuse(errno);
    *fd = f;
    return 0;
  }
  int Close(int fd) override {
    ::ioctl(fd, TIOCNXCL);  // exclusive mode outlives the descriptor on some terminals
    return ::close(fd) == 0 ? 0 : errno;
  }
  int GetAttr(int fd, termios* tio) override { return ::tcgetattr(fd, tio) == 0 ? 0 : errno; }
  int SetAttr(int fd, const termios& tio) override {
    return ::tcsetattr(fd, TCSANOW, &tio) == 0 ? 0 : errno;
  }
  int SetModemLine(int fd, int line, bool on) override {
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0 ? 0 : errno;
  }
  int Flush(int fd, int queue) override { return ::tcflush(fd, queue) == 0 ? 0 : errno; }
  int Poll(int fd, uint32_t timeout_ms, bool* readable) override {
    pollfd p{fd, POLLIN, 0};
    int timeout = timeout_ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(timeout_ms);
    int r = ::poll(&p, 1, timeout);
    if (r < 0) return errno;
    // A hang-up or error counts as readable so that the read reports it.
    *readable = r > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    return 0;
  }
  int Read(int fd, uint8_t* buffer, size_t count, size_t* got) override {
    ssize_t n = ::read(fd, buffer, count);
    if (n < 0) return errno;
    *got = static_cast<size_t>(n);
    return 0;
  }
  int Write(int fd, const uint8_t* buffer, size_t count, size_t* put) override {
    ssize_t n = ::write(fd, buffer, count);
    if (n < 0) return errno;
    *put = static_cast<size_t>(n);
    return 0;
  }
  int InputPending(int fd, int* count) override {
    return ::ioctl(fd, FIONREAD, count) == 0 ? 0 : errno;
  }
};

}  // namespace

SerialOs& LinuxSerialOs() {
  static LinuxOs os;
  return os;
}

}  // namespace kelo::link

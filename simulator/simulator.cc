#include "simulator/simulator.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "link/tcp_address.h"

#include "simulator/state_file.h"

namespace kelo::sim {
namespace {

int64_t NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)),
      ticks_(options_.ticks ? *options_.ticks : steady_),
      printer_(std::make_unique<Printer>(ticks_, options_.profile)),
      faults_(options_.faults, options_.seed),
      server_(std::make_unique<FrameServer>(*printer_, faults_, ticks_)) {
  printer_->clock().Set(options_.start_time);
  printer_->clock().SetRunning(options_.clock_running);
}

Simulator::~Simulator() {
  Stop();
}

bool Simulator::Prepare(std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!prepared_) {
    if (!LoadOnce(error)) return false;
    prepared_ = true;
  }
  saved_mutations_ = printer_->mutations();
  last_save_tick_ = ticks_.TickMs();
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    *error = Errno("eventfd");
    return false;
  }
  return true;
}

bool Simulator::LoadOnce(std::string* error) {
  if (!options_.state_file.empty()) {
    struct stat st;
    if (::stat(options_.state_file.c_str(), &st) == 0) {
      if (!LoadState(*printer_, options_.state_file, error)) return false;
      if (!options_.restore_clock) printer_->clock().Set(options_.start_time);
    } else if (errno != ENOENT) {
      *error = Errno("cannot read " + options_.state_file);
      return false;
    }
  }
  return options_.paper_file.empty() || printer_->paper().MirrorTo(options_.paper_file, error);
}

bool Simulator::Start(std::string* error) {
  if (running()) {
    *error = "the simulator is already running";
    return false;
  }
  if (!Prepare(error)) return false;
  termios raw;
  std::memset(&raw, 0, sizeof raw);
  ::cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  ::cfsetspeed(&raw, B9600);
  char name[256] = {};
  if (::openpty(&master_fd_, &slave_fd_, name, &raw, nullptr) != 0) {
    *error = Errno("openpty");
    return false;
  }
  ::fcntl(master_fd_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_fd_, F_SETFD, FD_CLOEXEC);
  own_master_ = true;
  slave_path_ = name;
  return StartOnFd(master_fd_, error);
}

bool Simulator::StartOnFd(int fd, std::string* error) {
  if (running()) {
    *error = "the simulator is already running";
    return false;
  }
  if (wake_fd_ < 0 && !Prepare(error)) return false;
  master_fd_ = fd;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    *error = Errno("cannot make the line non-blocking");
    return false;
  }
  line_is_socket_ = !own_master_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    server_->SetConnectionDrops(false);
  }
  return StartThread(error);
}

bool Simulator::StartThread(std::string* error) {
  stop_ = false;
  std::promise<void> ready;
  std::future<void> is_ready = ready.get_future();
  thread_ = std::thread([this, signal = std::move(ready)]() mutable {
    signal.set_value();  // the descriptors are set up: the line is served from here on
    Serve();
  });
  if (is_ready.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    *error = "the serving thread did not start";
    Stop();
    return false;
  }
  ready_ = true;
  return true;
}

bool Simulator::Listen(const std::string& host, uint16_t port, std::string* error) {
  if (running()) {
    *error = "the simulator is already running";
    return false;
  }
  if (wake_fd_ < 0 && !Prepare(error)) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (const int gai = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list); gai != 0) {
    *error = "cannot listen on " + link::FormatTcpAddress(host, port) + ": " + ::gai_strerror(gai);
    return false;
  }
  std::string why = "no address";
  for (const addrinfo* ai = list; ai != nullptr && listen_fd_ < 0; ai = ai->ai_next) {
    const int fd =
        ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) {
      why = std::strerror(errno);
      continue;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || ::listen(fd, 8) != 0) {
      why = std::strerror(errno);
      ::close(fd);
      continue;
    }
    listen_fd_ = fd;
  }
  ::freeaddrinfo(list);
  if (listen_fd_ < 0) {
    *error = "cannot listen on " + link::FormatTcpAddress(host, port) + ": " + why;
    return false;
  }
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  char name[NI_MAXHOST] = {};
  char serv[NI_MAXSERV] = {};
  if (::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0 ||
      ::getnameinfo(reinterpret_cast<sockaddr*>(&sa), len, name, sizeof name, serv, sizeof serv,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    *error = Errno("cannot read the listening address");
    ::close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  listen_port_ = static_cast<uint16_t>(std::atoi(serv));
  listen_address_ = link::FormatTcpAddress(name, listen_port_);
  master_fd_ = -1;
  line_is_socket_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    server_->SetConnectionDrops(true);
  }
  return StartThread(error);
}

void Simulator::AcceptClient() {
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  const int fd =
      ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;  // gone before it was taken, or out of descriptors: the next poll retries
  char name[NI_MAXHOST] = "?";
  char serv[NI_MAXSERV] = "?";
  ::getnameinfo(reinterpret_cast<sockaddr*>(&sa), len, name, sizeof name, serv, sizeof serv,
                NI_NUMERICHOST | NI_NUMERICSERV);
  const std::string peer = link::FormatTcpAddress(name, static_cast<uint16_t>(std::atoi(serv)));
  if (master_fd_ >= 0) {
    refused_clients_++;  // counted first: the client may look as soon as it is closed
    ::close(fd);
    std::fprintf(stderr, "kelofpu-sim: refused client %s: %s is being served (one at a time)\n",
                 peer.c_str(), client_peer_.c_str());
    return;
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  master_fd_ = fd;
  client_peer_ = peer;
  accepted_clients_++;
}

void Simulator::CloseClient() {
  if (listen_fd_ < 0 || master_fd_ < 0) return;
  ::close(master_fd_);
  master_fd_ = -1;
  client_peer_.clear();
}

void Simulator::DropClient() {
  if (!running() || listen_fd_ < 0) return;
  drop_client_ = true;
  const uint64_t one = 1;
  if (::write(wake_fd_, &one, sizeof one) < 0) {
    // Cannot fill up (the serving thread drains it); the flag is also seen within a poll.
  }
  // Bounded: the serving thread looks at the flag within one poll (200 ms) at the latest.
  for (int i = 0; i < 200 && drop_client_; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool Simulator::LinkAt(const std::string& path, std::string* error) {
  if (slave_path_.empty()) {
    *error = "no pseudo-terminal to link to";
    return false;
  }
  // The link belongs to the simulator that holds the lock on PATH.lock: the lock ends with
  // its owner, however it ended, so a link whose owner is gone is replaced and a live one
  // never is.
  const std::string lock_path = path + ".lock";
  const int lock_fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_fd < 0) {
    *error = Errno("cannot open " + lock_path);
    return false;
  }
  if (::flock(lock_fd, LOCK_EX | LOCK_NB) != 0) {
    char owner[32] = {};
    const ssize_t n = ::pread(lock_fd, owner, sizeof owner - 1, 0);
    ::close(lock_fd);
    std::string who = n > 0 ? std::string(owner, static_cast<size_t>(n)) : std::string();
    while (!who.empty() && (who.back() == '\n' || who.back() == ' ')) who.pop_back();
    *error = path + " is the link of a running simulator" +
             (who.empty() ? std::string() : " (process " + who + ")") +
             "; stop it first or choose another --link";
    return false;
  }
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      ::close(lock_fd);
      *error = path + " exists and is not a symbolic link; not replacing it";
      return false;
    }
    ::unlink(path.c_str());  // a link left behind by a simulator that is gone
  }
  if (::symlink(slave_path_.c_str(), path.c_str()) != 0) {
    ::close(lock_fd);
    *error = Errno("cannot link " + path);
    return false;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(lock_fd, 0) != 0 || ::pwrite(lock_fd, pid.data(), pid.size(), 0) < 0) {
    // The process number only makes the refusal's message better.
  }
  link_path_ = path;
  link_lock_fd_ = lock_fd;
  return true;
}

void Simulator::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    const uint64_t one = 1;
    if (::write(wake_fd_, &one, sizeof one) < 0) {
      // The eventfd cannot be full after one write; the thread also checks stop_ every poll.
    }
    thread_.join();
    MaybeSave(true);
  }
  if (!link_path_.empty()) {
    ::unlink(link_path_.c_str());
    ::unlink((link_path_ + ".lock").c_str());
    link_path_.clear();
  }
  if (link_lock_fd_ >= 0) ::close(link_lock_fd_);  // the link is free for the next simulator
  link_lock_fd_ = -1;
  if (listen_fd_ >= 0) {
    if (master_fd_ >= 0) ::close(master_fd_);  // the client
    ::close(listen_fd_);
    listen_fd_ = master_fd_ = -1;
    listen_address_.clear();
    listen_port_ = 0;
  }
  if (own_master_ && master_fd_ >= 0) ::close(master_fd_);
  if (slave_fd_ >= 0) ::close(slave_fd_);
  if (wake_fd_ >= 0) ::close(wake_fd_);
  master_fd_ = slave_fd_ = wake_fd_ = -1;
  own_master_ = false;
  ready_ = false;
}

void Simulator::MaybeSave(bool force) {
  if (options_.state_file.empty()) return;
  std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
  if (force) lock.lock();
  // Saved only between documents (an open receipt is not fiscal memory yet: a restart
  // voids it, as a power failure would), and at most once per save interval: at least a
  // second, and twenty times what the last save took, so that a long journal never makes
  // the printer spend more than a twentieth of its time writing.
  const bool changed = printer_->mutations() != saved_mutations_;
  const bool due = platform::TicksSince(last_save_tick_, ticks_.TickMs()) >= save_interval_ms_;
  if (!force && (!changed || !due || printer_->model().document_open())) return;
  const int64_t started = NowMicros();
  std::string error;
  if (!sim::SaveState(*printer_, options_.state_file, &error)) {
    std::fprintf(stderr, "kelofpu-sim: %s\n", error.c_str());
    return;
  }
  save_interval_ms_ =
      static_cast<uint32_t>(std::clamp<int64_t>((NowMicros() - started) / 1000 * 20, 1000, 60000));
  saved_mutations_ = printer_->mutations();
  last_save_tick_ = ticks_.TickMs();
}

bool Simulator::SleepOrStop(int64_t micros) {
  if (micros <= 0) return !stop_;
  // To the microsecond: at 115200 baud a byte takes 87 us, and whole milliseconds would
  // stretch every short frame.
  pollfd p{wake_fd_, POLLIN, 0};
  const timespec wait{static_cast<time_t>(micros / 1000000),
                      static_cast<long>(micros % 1000000) * 1000};
  ::ppoll(&p, 1, &wait, nullptr);
  return !stop_;
}

void Simulator::WriteOut(const std::vector<uint8_t>& bytes) {
  const int64_t byte_us = options_.baud > 0 ? 10000000 / options_.baud : 0;
  const int64_t start = NowMicros();
  size_t sent = 0;
  while (sent < bytes.size() && !stop_) {
    size_t allowed = bytes.size();
    if (byte_us > 0) {
      allowed =
          std::min<size_t>(bytes.size(), static_cast<size_t>((NowMicros() - start) / byte_us) + 1);
    }
    while (sent < allowed) {
      ssize_t n = -1;
      if (line_is_socket_) {
        // A socket whose peer went away must not kill the process with SIGPIPE.
        n = ::send(master_fd_, bytes.data() + sent, allowed - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) line_is_socket_ = false;
      }
      if (!line_is_socket_) n = ::write(master_fd_, bytes.data() + sent, allowed - sent);
      if (n > 0) {
        sent += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        // Nobody reads the line: wait a while, then let the answer go as a real line would.
        pollfd p[2] = {{master_fd_, POLLOUT, 0}, {wake_fd_, POLLIN, 0}};
        if (::poll(p, 2, 1000) <= 0 || p[1].revents || !(p[0].revents & POLLOUT)) return;
        continue;
      }
      return;
    }
    if (sent < bytes.size() &&
        !SleepOrStop(start + static_cast<int64_t>(sent) * byte_us - NowMicros())) {
      return;
    }
  }
}

void Simulator::Serve() {
  // Paced bytes are timed to the microsecond: without this the kernel may stretch each wait by
  // its default 50 us of timer slack, which at 115200 baud is most of a byte.
  if (options_.baud > 0) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  std::vector<uint8_t> in(4096);
  std::vector<uint8_t> out;
  const int64_t byte_us = options_.baud > 0 ? 10000000 / options_.baud : 0;
  const bool listening = listen_fd_ >= 0;
  while (!stop_) {
    // Without a client the line's entry is -1, which poll() skips.
    pollfd p[3] = {{master_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}, {listen_fd_, POLLIN, 0}};
    const int r = ::poll(p, listening ? 3 : 2, 200);
    if (r < 0 && errno != EINTR) break;
    if (stop_) break;
    if (r > 0 && p[1].revents) {
      uint64_t count = 0;
      if (::read(wake_fd_, &count, sizeof count) < 0) {
        // Already drained: the flags below are what counts.
      }
    }
    if (drop_client_) {
      CloseClient();
      drop_client_ = false;
      continue;
    }
    if (listening && r > 0 && (p[2].revents & POLLIN)) AcceptClient();
    if (r > 0 && (p[0].revents & POLLNVAL)) break;
    if (r > 0 && master_fd_ >= 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      const ssize_t n = ::read(master_fd_, in.data(), in.size());
      if (n > 0 && line_cut_) {
        // The cable to the printer is cut: what the driver sends goes nowhere.
      } else if (n > 0) {
        if (byte_us > 0) {
          // The bytes are on the line for as long as a real line takes to carry them.
          const int64_t now = NowMicros();
          line_free_at_us_ = std::max(line_free_at_us_, now) + n * byte_us;
          if (!SleepOrStop(line_free_at_us_ - now)) break;
        }
        out.clear();
        bool hang_up = false;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          server_->OnBytes(in.data(), static_cast<size_t>(n), &out);
          hang_up = server_->TakeHangUp();
        }
        if (hang_up) {
          CloseClient();  // the disconnect fault: the answer never leaves
        } else if (!out.empty()) {
          WriteOut(out);
        }
      } else if (listening && (n == 0 || (errno != EAGAIN && errno != EINTR))) {
        CloseClient();  // the client went away: the next one may come
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        // The other end went away (socket pair) or has no reader yet: look again shortly.
        if (!SleepOrStop(20000)) break;
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    MaybeSave(false);
  }
}

std::vector<std::string> Simulator::PaperLines() {
  return printer([](Printer& p) { return p.paper().Lines(); });
}
std::string Simulator::PaperText() {
  return printer([](Printer& p) { return p.paper().Text(); });
}
size_t Simulator::PaperMark() {
  return printer([](Printer& p) { return p.paper().total_lines(); });
}
std::vector<std::string> Simulator::PaperSince(size_t mark) {
  return printer([mark](Printer& p) { return p.paper().LinesSince(mark); });
}
std::deque<JournalDoc> Simulator::Journal() {
  return printer([](Printer& p) { return p.model().state().journal; });
}
int64_t Simulator::DataItem(int32_t item) {
  return printer([item](Printer& p) {
    int64_t v = 0;
    p.model().DataItem(item, &v);
    return v;
  });
}
FaultCounters Simulator::fault_counters() {
  return faults([](FaultInjector& f) { return f.counters(); });
}
ExchangeCounters Simulator::exchange_counters() {
  std::lock_guard<std::mutex> lock(mutex_);
  return server_->counters();
}
void Simulator::SetPowered(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  server_->SetPowered(on);
}
bool Simulator::SaveState(std::string* error) {
  if (options_.state_file.empty()) {
    *error = "no state file";
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return sim::SaveState(*printer_, options_.state_file, error);
}

}  // namespace kelo::sim

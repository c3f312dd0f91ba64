// The simulated printer on a pseudo-terminal (or a TCP listener: Listen), served by one
// thread that this object owns.
//
//   kelo::sim::Simulator sim;                 // or Simulator(options)
//   std::string error;
//   if (!sim.Start(&error)) FAIL() << error;  // returns once the thread serves the line
//   OpenTheDriverOn(sim.slave_path());        // "/dev/pts/N", raw mode
//   sim.faults([](FaultInjector& f) { f.BusyNext(2); });
//   EXPECT_EQ(sim.DataItem(20), 1);
//   sim.Stop();                               // also done by the destructor
//
// Every access to the printer from outside goes through the state lock, so tests may look at
// the paper roll, journal and counters while the serving thread answers the driver.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/clock.h"
#include "simulator/device_profile.h"
#include "simulator/faults.h"
#include "simulator/frame_server.h"
#include "simulator/printer.h"
#include "simulator/sim_clock.h"

namespace kelo::sim {

struct SimulatorOptions {
  DeviceProfile profile;
  FaultRates faults;
  uint64_t seed = 1;
  uint32_t baud = 0;           // 0: bytes go as fast as the pseudo-terminal takes them
  std::string paper_file;      // every printed line is appended here too
  std::string state_file;      // loaded by Start (when it exists), saved while running and by Stop
  CivilTime start_time;        // the printer's clock at start (a state file overrides it)
  bool clock_running = false;  // false: the clock stands still unless set or advanced
  // true: a state file's saved clock replaces start_time. The program sets false: its clock
  // is the host's (the printer's battery clock went on while it was off).
  bool restore_clock = true;
  platform::Clock* ticks = nullptr;  // time source; nullptr: the steady clock
};

class Simulator {
 public:
  explicit Simulator(SimulatorOptions options = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Loads the state file, opens a pseudo-terminal in raw mode and starts serving its master
  // end. Returns when the serving thread is ready (bounded wait), or false with a reason.
  // Start after Stop serves the same printer, open receipt included, on a new
  // pseudo-terminal (the state file is read by the first Start only): a USB adapter pulled
  // and plugged in again while the printer stays on.
  bool Start(std::string* error);
  // The same on a descriptor the caller owns (a pty master, one end of a socket pair).
  bool StartOnFd(int fd, std::string* error);
  // The same printer behind a TCP listener, as a serial device server in raw TCP mode offers
  // it: host is a name or address to bind, port 0 takes a free port (listen_port()). One
  // client is served at a time; a second one is accepted and closed at once (a line on
  // standard error), and the next client is served once the first has gone. The disconnect
  // fault applies here. Start after Stop is not the way back: call Listen again.
  bool Listen(const std::string& host, uint16_t port, std::string* error);
  // "127.0.0.1:PORT" (brackets around an IPv6 address) and the port, once listening.
  const std::string& listen_address() const { return listen_address_; }
  uint16_t listen_port() const { return listen_port_; }
  // Closes the connection of the client being served, as a device server that lost it
  // would; returns once it is closed (bounded wait). Does nothing without a client.
  void DropClient();
  uint64_t refused_clients() const { return refused_clients_.load(); }
  uint64_t accepted_clients() const { return accepted_clients_.load(); }
  // Stops and joins the serving thread, saves the state file. Safe to call twice.
  void Stop();
  bool running() const { return thread_.joinable(); }

  // The slave device path of the pseudo-terminal (empty with StartOnFd).
  const std::string& slave_path() const { return slave_path_; }
  // Symlink path -> slave device; removed again by Stop. The link is owned through a lock on
  // "path.lock" held until Stop: a link whose simulator still runs (in any process) is
  // refused with a message naming its process, a link left behind by one that is gone is
  // replaced.
  bool LinkAt(const std::string& path, std::string* error);

  // ---- Under the state lock ----
  template <typename F>
  auto printer(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(*printer_);
  }
  template <typename F>
  auto faults(F&& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    return f(faults_);
  }
  std::vector<std::string> PaperLines();
  std::string PaperText();
  size_t PaperMark();  // pass to PaperSince to get what was printed after this point
  std::vector<std::string> PaperSince(size_t mark);
  std::deque<JournalDoc> Journal();
  int64_t DataItem(int32_t item);  // GetDataItem value, 0 for an unknown item
  FaultCounters fault_counters();
  ExchangeCounters exchange_counters();
  void SetPowered(bool on);
  // The line stays up but nothing reaches the printer, which therefore neither does nor
  // answers anything, and keeps its receipt (a loose cable behind the adapter).
  void SetLineCut(bool cut) { line_cut_ = cut; }
  bool SaveState(std::string* error);

 private:
  bool Prepare(std::string* error);
  bool StartThread(std::string* error);
  void AcceptClient();
  void CloseClient();
  bool LoadOnce(std::string* error);  // state file and paper mirror, first Start only
  void Serve();
  void WriteOut(const std::vector<uint8_t>& bytes);
  bool SleepOrStop(int64_t micros);  // false when asked to stop
  void MaybeSave(bool force);

  SimulatorOptions options_;
  SteadyTicks steady_;
  platform::Clock& ticks_;

  // mutex_ guards printer_, faults_ and server_: the serving thread holds it while it handles
  // received bytes, callers while they look or change something. Never held while waiting
  // on the line.
  std::mutex mutex_;
  std::unique_ptr<Printer> printer_;
  FaultInjector faults_;
  std::unique_ptr<FrameServer> server_;

  int master_fd_ = -1;
  int slave_fd_ = -1;  // kept open so the master never sees a hang-up between clients
  bool own_master_ = false;
  bool line_is_socket_ = false;  // a caller's descriptor may be a socket (send, no SIGPIPE)
  int wake_fd_ = -1;             // eventfd that ends the serving thread's waits
  // The TCP listener; master_fd_ is then the connected client (-1 while there is none),
  // owned by the serving thread until Stop has joined it.
  int listen_fd_ = -1;
  std::string listen_address_;
  uint16_t listen_port_ = 0;
  std::string client_peer_;
  std::atomic<bool> drop_client_{false};
  std::atomic<uint64_t> refused_clients_{0};
  std::atomic<uint64_t> accepted_clients_{0};
  std::string slave_path_;
  std::string link_path_;
  int link_lock_fd_ = -1;  // locked PATH.lock: this simulator owns link_path_
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> ready_{false};
  std::atomic<bool> line_cut_{false};
  bool prepared_ = false;  // the state file was read (by the first Start)
  uint64_t saved_mutations_ = 0;
  uint32_t last_save_tick_ = 0;
  uint32_t save_interval_ms_ = 1000;
  int64_t line_free_at_us_ = 0;  // when the incoming line has delivered its last byte
};

}  // namespace kelo::sim

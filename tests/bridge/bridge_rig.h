// What the bridge's browser test, soak and benchmark share: a temporary folder, a configuration
// file with the service object registered and device keys pointing at simulators, the bridge's
// own configuration file, and child processes (kelofpud, chromedriver) that the rig starts,
// stops with SIGTERM or kills, and always reaps.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelo::bridgetest {

// A fresh folder under /tmp, removed with everything in it by the destructor.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "kelofpud-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  bool ok() const { return !path_.empty(); }

 private:
  std::string path_;
};

struct DeviceEntry {
  std::string name;  // OPOS logical name
  std::string port;  // the simulator's pseudo-terminal
  uint32_t baud = 115200;
};

// Points $OPOS_REGISTRY at `file` (for this process and the children it starts), registers the
// service object library there and writes one device key per entry.
bool WriteRegistry(const std::string& file, const std::string& service_library,
                   const std::vector<DeviceEntry>& devices, std::string* error);

// The bridge's configuration file text: printers as (name, device) pairs.
std::string BridgeConfigJson(uint16_t port, const std::string& journal,
                             const std::vector<std::pair<std::string, std::string>>& printers);
bool WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);

// A loopback TCP port that was free a moment ago (bound and released again).
uint16_t FreePort();

// True when an executable of this name is on $PATH (or the path itself is executable).
std::string FindProgram(const std::string& name);

// A child process with its standard output and error appended to a log file. The destructor
// kills and reaps it if it is still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Standard output goes to out_file when one is named, else to log_file with standard error.
  bool Start(const std::vector<std::string>& argv, const std::string& log_file, std::string* error,
             const std::string& out_file = "");
  bool running();  // reaps it when it has ended
  // SIGTERM, then waits up to `limit` for the exit; SIGKILL after that. Returns the exit
  // status as waitpid reports it (-1 when it was not running).
  int Terminate(std::chrono::milliseconds limit = std::chrono::seconds(30));
  void Kill();  // SIGKILL and reap
  pid_t pid() const { return pid_; }

 private:
  int Reap(bool block);
  pid_t pid_ = -1;
};

// The kelofpud program on a configuration file; Start waits (bounded) for the "listening" line
// on its standard output (LOG.out); its log (standard error) goes to LOG.
class Daemon {
 public:
  Daemon(std::string binary, std::string config, std::string log)
      : binary_(std::move(binary)), config_(std::move(config)), log_(std::move(log)) {}
  bool Start(std::string* error, std::chrono::milliseconds limit = std::chrono::seconds(30));
  int Terminate() { return child_.Terminate(std::chrono::seconds(150)); }
  void Kill() { child_.Kill(); }
  pid_t pid() const { return child_.pid(); }
  bool running() { return child_.running(); }

 private:
  std::string binary_;
  std::string config_;
  std::string log_;
  ChildProcess child_;
  size_t listening_seen_ = 0;  // "listening" lines on LOG.out so far (restarts append)
};

// CPU time the threads of a process have used so far, in microseconds; -1 when unreadable.
double ProcessCpuMicros(pid_t pid);

}  // namespace kelo::bridgetest

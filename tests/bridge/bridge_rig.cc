#include "tests/bridge/bridge_rig.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/automation/loader.h"
#include "platform/registry/config_store.h"
#include "testing/device_key.h"

extern char** environ;

namespace kelo::bridgetest {

TempDir::TempDir(const std::string& prefix) {
  std::string tmpl = "/tmp/" + prefix + "-XXXXXX";
  if (::mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
}

TempDir::~TempDir() {
  if (path_.empty() || std::getenv("KELO_KEEP_TEMP") != nullptr) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool WriteRegistry(const std::string& file, const std::string& service_library,
                   const std::vector<DeviceEntry>& devices, std::string* error) {
  setenv("OPOS_REGISTRY", file.c_str(), 1);
  automation::CreateResult r = automation::RegisterServer(service_library);
  if (r.hr != automation::S_OK) {
    *error = "registering " + service_library + ": " + r.error;
    return false;
  }
  for (const DeviceEntry& d : devices) {
    if (!kelo::testing::WriteDeviceKey(file, d.name, d.port, d.baud, error)) return false;
  }
  return true;
}

std::string BridgeConfigJson(uint16_t port, const std::string& journal,
                             const std::vector<std::pair<std::string, std::string>>& printers) {
  std::ostringstream out;
  out << "{\"listen\": \"127.0.0.1:" << port << "\", \"journal\": \"" << journal
      << "\", \"token\": \"\", \"printers\": [";
  for (size_t i = 0; i < printers.size(); ++i) {
    out << (i ? ", " : "") << "{\"name\": \"" << printers[i].first << "\", \"device\": \""
        << printers[i].second << "\"}";
  }
  out << "]}\n";
  return out.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  return static_cast<bool>(f);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(fd);
  return port;
}

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

ChildProcess::~ChildProcess() {
  Kill();
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& log_file,
                         std::string* error, const std::string& out_file) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, log_file.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  if (out_file.empty()) {
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The child stays in the test's process group: a time-out that kills the group ends it too.
  const int rc = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    *error = "cannot start " + argv[0] + ": " + std::to_string(rc);
    return false;
  }
  return true;
}

int ChildProcess::Reap(bool block) {
  if (pid_ <= 0) return -1;
  int status = 0;
  const pid_t r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (r == pid_ || (r < 0 && errno == ECHILD)) {
    pid_ = -1;
    return status;
  }
  return -2;  // still running
}

bool ChildProcess::running() {
  return pid_ > 0 && Reap(false) == -2;
}

int ChildProcess::Terminate(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    const int status = Reap(false);
    if (status != -2) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid_, SIGKILL);
  return Reap(true);
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  Reap(true);  // SIGKILL cannot be caught: the wait ends
}

bool Daemon::Start(std::string* error, std::chrono::milliseconds limit) {
  if (!child_.Start({binary_, "--config", config_}, log_, error, log_ + ".out")) return false;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    const std::string log = ReadFile(log_ + ".out");
    size_t count = 0;
    for (size_t at = log.find("kelofpud: listening on"); at != std::string::npos;
         at = log.find("kelofpud: listening on", at + 1)) {
      ++count;
    }
    if (count > listening_seen_) {
      listening_seen_ = count;
      return true;
    }
    if (!child_.running()) {
      *error = "kelofpud ended before listening; its log:\n" + ReadFile(log_);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  *error = "kelofpud did not listen within the limit; its log:\n" + ReadFile(log_);
  child_.Kill();
  return false;
}

double ProcessCpuMicros(pid_t pid) {
  // The first field of /proc/PID/task/TID/schedstat is the thread's time on a CPU in
  // nanoseconds (the tick-based times of /proc/PID/stat are 10 ms coarse).
  std::error_code ec;
  double ns = 0;
  bool any = false;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::istringstream in(ReadFile(task.path().string() + "/schedstat"));
    unsigned long long on_cpu = 0;
    if (in >> on_cpu) {
      ns += static_cast<double>(on_cpu);
      any = true;
    }
  }
  return any ? ns / 1000 : -1;
}

}  // namespace kelo::bridgetest

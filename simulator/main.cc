// kelofpu-sim: the printer simulator as a program.
//
//   kelofpu-sim --link PATH [--paper FILE] [--state FILE] [--baud N] [--faults SPEC] [--seed N]
//   kelofpu-sim --listen tcp:[HOST:]PORT [the same options]
//
// Prints one line "kelofpu-sim ready PATH -> /dev/pts/N" (or "kelofpu-sim: listening on
// HOST:PORT") on standard output once the line is served, then runs until SIGTERM or SIGINT,
// removes PATH and exits 0. A bad command line,
// fault specification or state file, or a PATH that is the link of a simulator still running,
// exits 2 with a message on standard error.
// KELOFPU_SIM_FROZEN_CLOCK=YYYYMMDDHHMMSS in the environment freezes the printer's clock.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "link/tcp_address.h"
#include "simulator/simulator.h"

namespace {

// The fault names, wrapped under the option's description.
std::string FaultNamesHelp() {
  std::string text;
  std::string line = "                  names";
  for (const kelo::sim::FaultRateName& entry : kelo::sim::kFaultRateNames) {
    const std::string item = " " + std::string(entry.name) + ",";
    if (line.size() + item.size() > 92) {
      text += line + "\n";
      line = "                 ";
    }
    line += item;
  }
  return text + line + "\n                  and inprogress_ms=MS (hold time, default 300)\n";
}

std::string Usage() {
  return "Usage: kelofpu-sim --link PATH | --listen tcp:[HOST:]PORT [--paper FILE] [--state FILE]\n"
         "                   [--baud N] [--faults SPEC] [--seed N]\n"
         "Plays a KeloFPU fiscal printer on a fresh pseudo-terminal, or behind a TCP port as a\n"
         "serial device server in raw TCP mode: frames, the command set, fiscal state, paper\n"
         "output and injected faults. Once the line is served it prints\n"
         "\"kelofpu-sim ready PATH -> /dev/pts/N\" (or \"kelofpu-sim: listening on HOST:PORT\")\n"
         "and runs until SIGTERM or SIGINT.\n"
         "\n"
         "Options:\n"
         "  --link PATH     PATH becomes a symbolic link to the pseudo-terminal (a stale\n"
         "                  link is replaced; any other existing file is left alone, exit 2)\n"
         "  --listen tcp:[HOST:]PORT\n"
         "                  instead of --link: serve one TCP client at a time on HOST\n"
         "                  (default 127.0.0.1; [ADDRESS] for IPv6); PORT 0 takes a free port,\n"
         "                  shown in the listening line. A second client is closed at once.\n"
         "  --paper FILE    append every printed line to FILE (UTF-8)\n"
         "  --state FILE    load the fiscal memory from FILE at start and save it while running\n"
         "  --baud N        pace both directions as a line of N baud would (50 to 4000000)\n"
         "  --faults SPEC   inject faults: comma-separated name=rate, rates 0 to 1 per answer;\n" +
         FaultNamesHelp() +
         "                  (disconnect closes the TCP connection instead of answering)\n"
         "  --seed N        seed of the fault generator (default 1)\n"
         "  -h, --help      show this text\n"
         "  --version       show the version\n"
         "\n"
         "Environment:\n"
         "  KELOFPU_SIM_FROZEN_CLOCK=YYYYMMDDHHMMSS  the printer's clock stands still at that "
         "time\n"
         "\n"
         "Exit status: 0 after SIGTERM or SIGINT, 2 for a bad command line, fault specification,\n"
         "paper file or state file.\n"
         "\n"
         "Examples:\n"
         "  kelofpu-sim --link /tmp/kelofpu-sim --paper /tmp/paper.txt\n"
         "  kelofpu-sim --link /tmp/kelofpu-sim --state /tmp/fiscal.state --baud 19200\n"
         "  kelofpu-sim --link /tmp/kelofpu-sim --faults corrupt=0.01,drop=0.01,busy=0.02 --seed "
         "7\n"
         "  kelofpu-sim --listen tcp:9100 --faults disconnect=0.01\n"
         "Then point a device key at it:\n"
         "  kelofpu-reg device KeloFPU --port /tmp/kelofpu-sim\n"
         "  kelofpu-reg device KeloFPU --port tcp:127.0.0.1:9100\n";
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "kelofpu-sim: %s\n%s", message.c_str(), Usage().c_str());
  return 2;
}

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long* out) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (errno || *end || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  kelo::sim::SimulatorOptions options;
  std::string link;
  std::string listen;
  kelo::link::TcpAddress listen_address;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage().c_str(), stdout);
      return 0;
    }
    if (arg == "--version") {
      std::fputs("kelofpu-sim " KELO_VERSION "\n", stdout);
      return 0;
    }
    if (i + 1 >= argc) return Fail("option " + arg + " needs a value");
    const std::string value = argv[++i];
    unsigned long long n = 0;
    if (arg == "--link") {
      link = value;
    } else if (arg == "--listen") {
      std::string error;
      if (!value.starts_with(kelo::link::kTcpPortPrefix) ||
          !kelo::link::ParseTcpListenAddress(value.substr(kelo::link::kTcpPortPrefix.size()),
                                             "127.0.0.1", &listen_address, &error)) {
        return Fail("--listen needs tcp:[HOST:]PORT, not \"" + value + "\"" +
                    (error.empty() ? std::string() : ": " + error));
      }
      listen = value;
    } else if (arg == "--paper") {
      options.paper_file = value;
    } else if (arg == "--state") {
      options.state_file = value;
    } else if (arg == "--baud") {
      if (!ParseUnsigned(value, 4000000, &n) || n < 50) {
        return Fail("--baud needs a line speed from 50 to 4000000, not \"" + value + "\"");
      }
      options.baud = static_cast<uint32_t>(n);
    } else if (arg == "--seed") {
      if (!ParseUnsigned(value, UINT64_MAX, &n)) {
        return Fail("--seed needs a non-negative whole number, not \"" + value + "\"");
      }
      options.seed = n;
    } else if (arg == "--faults") {
      std::string error;
      if (!kelo::sim::ParseFaultSpec(value, &options.faults, &error)) return Fail(error);
    } else {
      return Fail("unknown option " + arg);
    }
  }
  if (link.empty() == listen.empty()) {
    return Fail("give either --link PATH or --listen tcp:[HOST:]PORT (exactly one)");
  }

  // The printer's clock starts at the host's local time and runs.
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  options.start_time = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
  options.clock_running = true;
  options.restore_clock = false;
  // KELOFPU_SIM_FROZEN_CLOCK=YYYYMMDDHHMMSS stops the clock at that moment, so that a paper
  // roll from a scripted session is the same on every run (golden files).
  if (const char* frozen = std::getenv("KELOFPU_SIM_FROZEN_CLOCK"); frozen && *frozen) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (std::strlen(frozen) != 14 ||
        std::sscanf(frozen, "%4d%2d%2d%2d%2d%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6 ||
        !kelo::sim::IsValidDate(y, mo, d) || !kelo::sim::IsValidTime(h, mi, s)) {
      return Fail("KELOFPU_SIM_FROZEN_CLOCK must be YYYYMMDDHHMMSS, not \"" + std::string(frozen) +
                  "\"");
    }
    options.start_time = {y, mo, d, h, mi, s};
    options.clock_running = false;
  }

  // Signals are taken by sigwait below; every thread inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  kelo::sim::Simulator simulator(options);
  std::string error;
  if (!listen.empty()) {
    if (!simulator.Listen(listen_address.host, listen_address.port, &error)) {
      std::fprintf(stderr, "kelofpu-sim: %s\n", error.c_str());
      return 2;
    }
    std::printf("kelofpu-sim: listening on %s\n", simulator.listen_address().c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    simulator.Stop();  // joins the serving thread, saves the state, closes the listener
    return 0;
  }
  if (!simulator.Start(&error)) {
    std::fprintf(stderr, "kelofpu-sim: %s\n", error.c_str());
    return 2;
  }
  if (!simulator.LinkAt(link, &error)) {
    std::fprintf(stderr, "kelofpu-sim: %s\n", error.c_str());
    simulator.Stop();
    return 2;
  }
  std::printf("kelofpu-sim ready %s -> %s\n", link.c_str(), simulator.slave_path().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  simulator.Stop();  // joins the serving thread, saves the state, removes the link
  return 0;
}

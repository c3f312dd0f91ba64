// kelofpud: the local bridge between web point-of-sale programs and the fiscal printers.
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bridge/bridge.h"
#include "bridge/config.h"

namespace {

constexpr const char* kUsage =
    "Usage: kelofpud [--config FILE]\n"
    "Claims the fiscal printers named in its configuration through the OPOS control object and\n"
    "serves them over HTTP/JSON (/v1/printers...), with a status page at /. Every POST takes an\n"
    "Idempotency-Key and is recorded in an SQLite journal, so a retried request is never printed\n"
    "twice, also across restarts. Prints \"kelofpud: listening on HOST:PORT\" once listening and\n"
    "runs until SIGTERM or SIGINT.\n"
    "\n"
    "Options:\n"
    "  --config FILE   the configuration (default /etc/kelofpu/kelofpud.json)\n"
    "  -h, --help      show this text\n"
    "  --version       show the version\n"
    "\n"
    "Configuration (JSON; unknown keys are an error):\n"
    "  { \"listen\": \"127.0.0.1:8089\", \"journal\": \"/var/lib/kelofpu/kelofpud.db\",\n"
    "    \"token\": \"\", \"printers\": [ { \"name\": \"front\", \"device\": \"KeloFPU\" } ] }\n"
    "A non-loopback \"listen\" address needs a non-empty \"token\" (Authorization: Bearer TOKEN).\n"
    "The devices are OPOS device keys in $OPOS_REGISTRY or /etc/opos/registry.reg.\n"
    "\n"
    "Exit status: 0 after SIGTERM or SIGINT, 2 for a bad command line or configuration, 1 when\n"
    "the bridge cannot start (journal, address).\n"
    "\n"
    "Example:\n"
    "  curl -s http://127.0.0.1:8089/v1/printers\n";

int Fail(const std::string& message) {
  std::fprintf(stderr, "kelofpud: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string config_file = "/etc/kelofpu/kelofpud.json";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::fputs("kelofpud " KELO_VERSION "\n", stdout);
      return 0;
    }
    if (arg == "--config" && i + 1 < argc) {
      config_file = argv[++i];
    } else {
      std::fputs(kUsage, stderr);
      return Fail("unknown option or missing value: " + arg);
    }
  }
  std::ifstream in(config_file);
  if (!in) return Fail("cannot read " + config_file);
  std::stringstream text;
  text << in.rdbuf();
  kelo::bridge::BridgeConfig config;
  std::string error;
  if (!kelo::bridge::ParseBridgeConfig(text.str(), &config, &error)) {
    return Fail(config_file + ": " + error);
  }

  // SIGTERM and SIGINT are taken by sigwait below; every thread inherits the blocked mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  kelo::bridge::Bridge bridge(config);
  if (!bridge.Start(&error)) {
    std::fprintf(stderr, "kelofpud: %s\n", error.c_str());
    return 1;
  }
  // On both streams: standard output for a program that starts this one and waits for the
  // line, standard error for the log.
  const bool v6 = config.listen_host.find(':') != std::string::npos;
  for (FILE* stream : {stdout, stderr}) {
    std::fprintf(stream, "kelofpud: listening on %s%s%s:%u\n", v6 ? "[" : "",
                 config.listen_host.c_str(), v6 ? "]" : "", bridge.port());
    std::fflush(stream);
  }
  int sig = 0;
  sigwait(&signals, &sig);
  std::fprintf(stderr, "kelofpud: stopping (signal %d)\n", sig);
  bridge.Stop();
  return 0;
}

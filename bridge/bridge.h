// kelofpud as a library: the whole bridge in one object, for the program (main.cc), tests and
// benchmarks.
//
//   kelo::bridge::BridgeConfig config;        // or ParseBridgeConfig(text, &config, &error)
//   config.listen_port = 0;                   // any free port
//   config.journal_path = "/tmp/j.db";
//   config.printers = {{"front", "KeloFPU"}};
//   kelo::bridge::Bridge bridge(config);
//   if (!bridge.Start(&error)) ...;           // http://127.0.0.1:<bridge.port()>/v1/printers
//   bridge.Stop();                            // also done by the destructor
//
// Threads: one worker per printer (printer_worker.h), httplib's pool for requests and one
// thread that runs the listening loop; Stop joins them all.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "bridge/config.h"

namespace kelo::bridge {

class Bridge {
 public:
  explicit Bridge(BridgeConfig config);
  ~Bridge();  // Stop()
  Bridge(const Bridge&) = delete;
  Bridge& operator=(const Bridge&) = delete;

  // Opens the journal, starts the printers' workers (each claims its printer and reconciles
  // the journal; an offline printer keeps retrying), waits for each first claim attempt
  // (bounded) and listens. False with a reason when the journal cannot be opened, the address
  // is refused (non-loopback without a token) or cannot be bound.
  bool Start(std::string* error);
  // The bound port once started.
  uint16_t port() const;
  // Stops accepting, finishes the document in progress, releases the printers, joins every
  // thread. Safe to call twice.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kelo::bridge

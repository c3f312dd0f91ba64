// The HTTP/JSON API on cpp-httplib: routes, the bearer token, the JSON error bodies (also
// for httplib's own 404 and 413) and the status page at "/".
//
// Handlers run on httplib's pool threads. They never call a printer: status comes from the
// workers' snapshots, and anything that talks to a printer is a job on its worker.
#pragma once
#include <map>
#include <memory>
#include <string>

#include "bridge/config.h"
#include "bridge/journal.h"
#include "bridge/printer_worker.h"
#include "bridge/requests.h"

namespace httplib {
class Server;
}

namespace kelo::bridge {

struct ApiContext {
  const BridgeConfig& config;
  std::map<std::string, PrinterWorker*> printers;  // by name
  RequestLedger& ledger;
  Journal& journal;
};

// Installs every route and the error handler on the server; `context` must outlive it.
void InstallRoutes(httplib::Server& server, ApiContext& context);

// Compares two texts in time that depends only on their lengths.
bool ConstantTimeEqual(const std::string& a, const std::string& b);

// 1..100 printable ASCII characters.
bool ValidIdempotencyKey(const std::string& key);

}  // namespace kelo::bridge

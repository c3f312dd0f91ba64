#include "bridge/bridge.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <thread>
#include <vector>

#include "bridge/http_api.h"
#include "bridge/journal.h"
#include "bridge/printer_worker.h"
#include "bridge/requests.h"

namespace kelo::bridge {
namespace {
// The first claim attempt of every printer is waited for at most this long by Start (a claim
// is bounded by 2 s; the reconciliation adds a few exchanges).
constexpr auto kFirstAttemptLimit = std::chrono::seconds(10);
constexpr int kRequestThreads = 32;
constexpr auto kListenLimit = std::chrono::seconds(5);
}  // namespace

struct Bridge::Impl {
  explicit Impl(BridgeConfig c) : config(std::move(c)), ledger(journal) {}

  BridgeConfig config;
  Journal journal;
  RequestLedger ledger;
  std::vector<std::unique_ptr<PrinterWorker>> workers;
  std::unique_ptr<ApiContext> context;
  httplib::Server server;
  std::thread listener;                // runs server.listen_after_bind(); joined by Stop
  std::promise<void> listening_ended;  // set by the listener when its loop returns
  uint16_t port = 0;
  bool started = false;
};

Bridge::Bridge(BridgeConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Bridge::~Bridge() {
  Stop();
}

uint16_t Bridge::port() const {
  return impl_->port;
}

bool Bridge::Start(std::string* error) {
  Impl& m = *impl_;
  if (m.started) return true;
  if (!IsLoopback(m.config.listen_host) && m.config.token.empty()) {
    *error = "refusing to listen on " + m.config.listen_host +
             " without a token: set \"token\" or listen on 127.0.0.1";
    return false;
  }
  if (m.config.printers.empty()) {
    *error = "no printers configured";
    return false;
  }
  if (!m.journal.Open(m.config.journal_path, error)) return false;

  m.context = std::make_unique<ApiContext>(ApiContext{m.config, {}, m.ledger, m.journal});
  for (const PrinterConfig& p : m.config.printers) {
    auto worker = std::make_unique<PrinterWorker>(
        p, [&m, name = p.name](PrinterSession& s) { m.ledger.Reconcile(name, s); });
    m.context->printers[p.name] = worker.get();
    m.workers.push_back(std::move(worker));
  }
  for (auto& w : m.workers) w->Start();
  for (auto& w : m.workers) w->WaitFirstAttempt(kFirstAttemptLimit);

  m.server.new_task_queue = [] { return new httplib::ThreadPool(kRequestThreads); };
  m.server.set_keep_alive_timeout(2);
  InstallRoutes(m.server, *m.context);
  int port = m.config.listen_port;
  if (port == 0) {
    port = m.server.bind_to_any_port(m.config.listen_host);
  } else if (!m.server.bind_to_port(m.config.listen_host, port)) {
    port = -1;
  }
  if (port <= 0) {
    *error =
        "cannot listen on " + m.config.listen_host + ":" + std::to_string(m.config.listen_port);
    for (auto& w : m.workers) w->Stop();
    m.journal.Close();
    return false;
  }
  m.port = static_cast<uint16_t>(port);
  m.listener = std::thread([&m] {
    m.server.listen_after_bind();
    m.listening_ended.set_value();
  });
  // Requests are served once the loop runs; wait for it (bounded) so that a client may
  // connect as soon as Start returns.
  const auto deadline = std::chrono::steady_clock::now() + kListenLimit;
  while (!m.server.is_running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  m.started = true;
  return true;
}

void Bridge::Stop() {
  Impl& m = *impl_;
  if (!m.started) return;
  m.started = false;
  // No new connections; requests in progress go on until their jobs end.
  m.server.stop();
  // Each worker finishes its job in progress, answers the queued ones and lets its printer go;
  // then the request threads waiting on them return and the listening loop ends.
  for (auto& w : m.workers) w->Stop();
  // server.stop() has no effect until the loop runs: repeat it until the loop has ended (the
  // loop starts within moments of Start, so this ends).
  auto ended = m.listening_ended.get_future();
  while (ended.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    m.server.stop();
  }
  if (m.listener.joinable()) m.listener.join();
  m.workers.clear();
  m.journal.Close();
}

}  // namespace kelo::bridge

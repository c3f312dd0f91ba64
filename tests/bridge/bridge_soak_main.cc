// kelofpud-soak: the bridge's exactly-once soak. Several clients post documents (short fiscal
// receipts, each item carrying the document's id) to kelofpud, drop their connections at random
// (right after sending, or after a short wait) and retry with the same Idempotency-Key until
// they get an answer; the printer is the simulator with faults on its line; the bridge is
// stopped twice during the run (once with SIGTERM, once with SIGKILL while a receipt is open on
// the printer) and started again on the same journal and port. A document whose answer is a
// recorded failure is posted again under a new key.
//
// The audit reads the printer's electronic journal: every document is in exactly one completed
// sales receipt (0 lost, 0 twice), no receipt holds lines of two documents or misses one, the
// printer counted as many receipts as there are documents, and every key replays its answer.
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "simulator/simulator.h"
#include "tests/bridge/bridge_rig.h"

namespace kelo::bridgetest {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
  int receipts = 1000;
  int clients = 4;
  uint64_t seed = 1;
  std::string faults = "corrupt=0.01,noise=0.01,busy=0.02,drop=0.001,cover=0.001";
  std::string kelofpud = KELO_KELOFPUD_PATH;
  std::string library = KELO_SO_KELO_FPU_PATH;
  int limit_s = 900;  // the whole run, after which the soak gives up
};

struct Item {
  std::string description;
  int64_t price = 0;  // hundredths, per unit
  int quantity = 1;
  int vat = 1;
};

struct Document {
  int id = 0;
  std::vector<Item> items;
  int64_t total = 0;
  int64_t paid = 0;
  // The outcome, written by the client that owns the document.
  std::string key;  // the key that printed it
  int64_t receipt_number = -1;
  std::string answer_total;
  int attempts = 0;  // requests sent
  int keys = 0;      // keys used (a recorded failure takes a new one)
  bool done = false;
};

std::string Amount(int64_t hundredths) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%" PRId64 ".%02" PRId64, hundredths / 100, hundredths % 100);
  return buf;
}

std::string DocName(int id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "Doc%05d", id);
  return buf;
}

Document MakeDocument(int id, std::mt19937_64& rng) {
  Document d;
  d.id = id;
  const int items = std::uniform_int_distribution<int>(1, 3)(rng);
  for (int i = 1; i <= items; ++i) {
    Item item;
    item.description = DocName(id) + " item " + std::to_string(i);
    item.price = std::uniform_int_distribution<int64_t>(1, 2000)(rng);
    item.quantity = std::uniform_int_distribution<int>(1, 3)(rng);
    item.vat = std::uniform_int_distribution<int>(1, 2)(rng);
    d.total += item.price * item.quantity;
    d.items.push_back(item);
  }
  d.paid = (d.total + 99) / 100 * 100;  // cash, rounded up to whole units
  return d;
}

std::string Body(const Document& d) {
  nlohmann::json items = nlohmann::json::array();
  for (const Item& i : d.items) {
    items.push_back({{"description", i.description},
                     {"price", Amount(i.price)},
                     {"quantity", i.quantity},
                     {"vat", i.vat}});
  }
  nlohmann::json body = {{"items", items},
                         {"payments", {{{"description", "Cash"}, {"amount", Amount(d.paid)}}}}};
  return body.dump();
}

struct Counters {
  std::atomic<uint64_t> requests{0};
  std::atomic<uint64_t> dropped_at_once{0};  // closed right after sending
  std::atomic<uint64_t> dropped_waiting{0};  // closed after a short wait
  std::atomic<uint64_t> refused{0};          // no connection while the bridge was down
  std::atomic<uint64_t> refused_up{0};       // no connection (within 1 s) while it listened
  std::atomic<uint64_t> other_errors{0};     // any other transport failure
  std::atomic<uint64_t> replayed{0};         // answers marked Idempotent-Replayed
  std::atomic<uint64_t> failed_recorded{0};  // 502: voided, posted again under a new key
  std::atomic<uint64_t> conflicts{0};        // 409: still printing after the bounded wait
  std::atomic<uint64_t> unavailable{0};      // 503 and other 5xx not recorded
  std::atomic<uint64_t> printed{0};
};

class Soak {
 public:
  Soak(const Options& o, const std::string& dir) : o_(o), dir_(dir) {}

  int Run();

 private:
  void Client(int index);
  bool PostOnce(Document& d, std::mt19937_64& rng, bool* done, bool* new_key);
  void Finding(const std::string& f) {
    std::lock_guard<std::mutex> l(mu_);
    if (findings_.size() < 50) findings_.push_back(f);
    ++finding_count_;
  }
  bool ReceiptOpen() {
    return sim_->printer([](sim::Printer& p) { return p.model().receipt_open(); });
  }
  int Audit();

  const Options& o_;
  const std::string dir_;
  std::unique_ptr<sim::Simulator> sim_;
  uint16_t port_ = 0;
  std::vector<Document> docs_;
  std::atomic<int> next_{0};
  std::atomic<bool> give_up_{false};
  std::atomic<bool> up_{false};  // kelofpud listens (set around the restarts)
  Counters c_;
  std::mutex mu_;  // guards findings_
  std::vector<std::string> findings_;
  uint64_t finding_count_ = 0;
};

// One request with a connection dropped at random. done: the document has its answer.
// new_key: the answer is a recorded failure, the next try takes a new key.
bool Soak::PostOnce(Document& d, std::mt19937_64& rng, bool* done, bool* new_key) {
  *done = *new_key = false;
  httplib::Client client("127.0.0.1", port_);
  client.set_connection_timeout(1, 0);
  client.set_write_timeout(5, 0);
  const double roll = std::uniform_real_distribution<double>(0, 1)(rng);
  enum {
    kAtOnce,
    kWaiting,
    kPatient
  } mode = roll < 0.25   ? kAtOnce
           : roll < 0.45 ? kWaiting
                         : kPatient;
  if (mode == kAtOnce) {
    client.set_read_timeout(0, 1000);  // 1 ms: gone before any answer
  } else if (mode == kWaiting) {
    client.set_read_timeout(0, std::uniform_int_distribution<int>(5, 300)(rng) * 1000);
  } else {
    client.set_read_timeout(150, 0);  // beyond the bridge's own 120 s wait for a busy key
  }
  httplib::Headers headers = {{"Idempotency-Key", d.key}};
  ++c_.requests;
  ++d.attempts;
  auto r = client.Post("/v1/printers/front/receipts", headers, Body(d), "application/json");
  if (!r) {
    const httplib::Error e = r.error();
    if (e == httplib::Error::Connection) {
      ++(up_ ? c_.refused_up : c_.refused);
    } else if (e == httplib::Error::Read && mode != kPatient) {
      ++(mode == kAtOnce ? c_.dropped_at_once : c_.dropped_waiting);
    } else {
      ++c_.other_errors;
    }
    return false;
  }
  const bool replayed = r->get_header_value("Idempotent-Replayed") == "true";
  if (replayed) ++c_.replayed;
  const auto j = nlohmann::json::parse(r->body, nullptr, false);
  switch (r->status) {
    case 201:
      if (!j.is_object() || j.value("state", "") != "printed" || !j.contains("receipt_number")) {
        Finding(DocName(d.id) + ": 201 without a printed receipt: " + r->body);
        return false;
      }
      d.receipt_number = j["receipt_number"].get<int64_t>();
      d.answer_total = j.value("total", "");
      if (d.answer_total != Amount(d.total)) {
        Finding(DocName(d.id) + ": total " + d.answer_total + ", expected " + Amount(d.total));
      }
      *done = true;
      ++c_.printed;
      return true;
    case 502:
      ++c_.failed_recorded;
      *new_key = true;
      return true;
    case 409:
      ++c_.conflicts;
      std::this_thread::sleep_for(1s);
      return false;
    default:
      if (r->status >= 500) {
        ++c_.unavailable;
        // A recorded outcome keeps coming back for this key: take a new one.
        *new_key = replayed;
        std::this_thread::sleep_for(200ms);
        return false;
      }
      Finding(DocName(d.id) + ": HTTP " + std::to_string(r->status) + " " + r->body);
      *done = true;  // a 4xx will not change on a retry; counted lost by the audit if so
      return false;
  }
}

void Soak::Client(int index) {
  std::mt19937_64 rng(o_.seed * 7919 + static_cast<uint64_t>(index));
  for (int i = next_++; i < o_.receipts && !give_up_; i = next_++) {
    Document& d = docs_[static_cast<size_t>(i)];
    d.keys = 1;
    d.key = "soak-" + std::to_string(o_.seed) + "-" + DocName(d.id) + "-1";
    bool done = false;
    while (!done && !give_up_) {
      bool new_key = false;
      if (!PostOnce(d, rng, &done, &new_key)) {
        // Nobody listening (a restart), or the answer was dropped: the same key again soon.
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(5, 50)(rng)));
      }
      if (new_key) {
        ++d.keys;
        d.key =
            "soak-" + std::to_string(o_.seed) + "-" + DocName(d.id) + "-" + std::to_string(d.keys);
      }
    }
    d.done = done;
  }
}

int Soak::Run() {
  const auto started = Clock::now();
  sim::SimulatorOptions sim_options;
  std::string error;
  if (!sim::ParseFaultSpec(o_.faults, &sim_options.faults, &error)) {
    std::fprintf(stderr, "--faults: %s\n", error.c_str());
    return 2;
  }
  sim_options.seed = o_.seed;
  sim_ = std::make_unique<sim::Simulator>(sim_options);
  if (!sim_->Start(&error) || !WriteRegistry(dir_ + "/registry.reg", o_.library,
                                             {{"KeloFPU", sim_->slave_path()}}, &error)) {
    std::fprintf(stderr, "setup: %s\n", error.c_str());
    return 2;
  }
  port_ = FreePort();
  const std::string config = dir_ + "/kelofpud.json";
  WriteFile(config, BridgeConfigJson(port_, dir_ + "/journal.db", {{"front", "KeloFPU"}}));
  Daemon daemon(o_.kelofpud, config, dir_ + "/kelofpud.log");
  if (!daemon.Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  up_ = true;

  const auto deadline = started + std::chrono::seconds(o_.limit_s);
  std::mt19937_64 rng(o_.seed);
  for (int i = 1; i <= o_.receipts; ++i) docs_.push_back(MakeDocument(i, rng));
  std::vector<std::thread> clients;
  for (int i = 0; i < o_.clients; ++i) clients.emplace_back([this, i] { Client(i); });
  // Ends the run at the limit: the clients stop retrying, the audit reports what is missing.
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    while (!finished && !give_up_) {
      if (Clock::now() > deadline) give_up_ = true;
      std::this_thread::sleep_for(50ms);
    }
  });

  // Two restarts: SIGTERM at a third of the documents, SIGKILL at two thirds while the printer
  // has a receipt open.
  double graceful_s = -1, abrupt_s = -1;
  bool killed_mid_receipt = false;
  auto wait_printed = [&](uint64_t n) {
    while (c_.printed < n && !give_up_) {
      std::this_thread::sleep_for(5ms);
    }
    return c_.printed >= n;
  };
  if (wait_printed(static_cast<uint64_t>(o_.receipts / 3))) {
    const auto t = Clock::now();
    up_ = false;
    const int status = daemon.Terminate();
    graceful_s = std::chrono::duration<double>(Clock::now() - t).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      Finding("kelofpud did not exit 0 on SIGTERM (wait status " + std::to_string(status) + ")");
    }
    if (ReceiptOpen()) Finding("a receipt stayed open on the printer after SIGTERM");
    if (!daemon.Start(&error)) Finding("restart after SIGTERM: " + error);
    up_ = true;
  }
  if (wait_printed(static_cast<uint64_t>(o_.receipts * 2 / 3))) {
    const auto until = Clock::now() + 10s;
    while (!ReceiptOpen() && Clock::now() < until) std::this_thread::sleep_for(1ms);
    killed_mid_receipt = ReceiptOpen();
    const auto t = Clock::now();
    up_ = false;
    daemon.Kill();
    if (!daemon.Start(&error)) Finding("restart after SIGKILL: " + error);
    up_ = true;
    abrupt_s = std::chrono::duration<double>(Clock::now() - t).count();
  }
  for (std::thread& t : clients) t.join();
  finished = true;
  watchdog.join();
  const double run_s = std::chrono::duration<double>(Clock::now() - started).count();

  // Every key that printed replays its answer, the same receipt, and prints nothing.
  const int64_t receipts_before_replay = sim_->DataItem(20);
  uint64_t replay_ok = 0;
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(30, 0);
  for (const Document& d : docs_) {
    if (!d.done || d.receipt_number < 0) continue;
    auto r = client.Post("/v1/printers/front/receipts", {{"Idempotency-Key", d.key}}, Body(d),
                         "application/json");
    if (!r || r->status != 201 || r->get_header_value("Idempotent-Replayed") != "true") {
      Finding(DocName(d.id) + ": key " + d.key + " did not replay its answer");
      continue;
    }
    const auto j = nlohmann::json::parse(r->body, nullptr, false);
    if (!j.is_object() || j.value("receipt_number", int64_t{-1}) != d.receipt_number) {
      Finding(DocName(d.id) + ": replay names another receipt: " + r->body);
      continue;
    }
    ++replay_ok;
  }
  if (sim_->DataItem(20) != receipts_before_replay) Finding("a replay printed a receipt");

  const int stop_status = daemon.Terminate();
  if (!WIFEXITED(stop_status) || WEXITSTATUS(stop_status) != 0) {
    Finding("kelofpud did not exit 0 at the end (wait status " + std::to_string(stop_status) + ")");
  }

  std::printf("kelofpud-soak: %d documents, %d clients, faults %s, seed %" PRIu64
              ", %.1f s\n"
              "  requests %" PRIu64 ": dropped right after sending %" PRIu64
              ", dropped while waiting %" PRIu64 ", no connection while down %" PRIu64
              " / while up %" PRIu64 ", other transport errors %" PRIu64
              "\n"
              "  answers: printed %" PRIu64 ", replayed %" PRIu64 ", recorded failures %" PRIu64
              ", conflicts %" PRIu64 ", unavailable %" PRIu64
              "\n"
              "  restarts: SIGTERM took %.2f s; SIGKILL %s a receipt was open, back in %.2f s\n"
              "  replay check: %" PRIu64 " keys replayed their answer\n",
              o_.receipts, o_.clients, o_.faults.c_str(), o_.seed, run_s, c_.requests.load(),
              c_.dropped_at_once.load(), c_.dropped_waiting.load(), c_.refused.load(),
              c_.refused_up.load(), c_.other_errors.load(), c_.printed.load(), c_.replayed.load(),
              c_.failed_recorded.load(), c_.conflicts.load(), c_.unavailable.load(), graceful_s,
              killed_mid_receipt ? "while" : "(no receipt open when)", abrupt_s, replay_ok);
  const sim::FaultCounters f = sim_->fault_counters();
  std::printf("  faults injected: corrupted %" PRIu64 ", dropped %" PRIu64 ", truncated %" PRIu64
              ", noise %" PRIu64 ", busy %" PRIu64 ", in progress %" PRIu64 "\n",
              f.corrupted, f.dropped, f.truncated, f.noise, f.busy, f.inprogress);
  const int audit = Audit();
  sim_->Stop();
  return audit;
}

int Soak::Audit() {
  std::map<int, int> sales;   // document id -> completed sales receipts holding it
  std::map<int, int> voided;  // document id -> voided receipts holding it
  const std::deque<sim::JournalDoc> journal = sim_->Journal();
  uint64_t sale_docs = 0, voided_receipts = 0;
  for (const sim::JournalDoc& doc : journal) {
    if (doc.kind == sim::DocKind::kVoided) ++voided_receipts;
    std::map<int, int> lines;  // id -> item lines of it in this document
    for (const std::string& line : doc.lines) {
      for (size_t at = line.find("Doc"); at != std::string::npos; at = line.find("Doc", at + 1)) {
        int id = 0, item = 0;
        if (std::sscanf(line.c_str() + at, "Doc%5d item %d", &id, &item) == 2) ++lines[id];
      }
    }
    if (lines.empty()) continue;
    if (doc.kind == sim::DocKind::kVoided) {
      for (const auto& [id, n] : lines) ++voided[id];
      continue;
    }
    if (doc.kind != sim::DocKind::kSale) {
      Finding("journal document " + std::to_string(doc.number) + " of kind " +
              std::to_string(static_cast<int>(doc.kind)) + " holds soak lines");
      continue;
    }
    ++sale_docs;
    if (lines.size() != 1) {
      Finding("journal document " + std::to_string(doc.number) + " holds lines of " +
              std::to_string(lines.size()) + " documents");
    }
    for (const auto& [id, n] : lines) {
      ++sales[id];
      if (id < 1 || id > o_.receipts) {
        Finding("unknown document " + std::to_string(id));
        continue;
      }
      const Document& d = docs_[static_cast<size_t>(id - 1)];
      if (n != static_cast<int>(d.items.size())) {
        Finding(DocName(id) + ": " + std::to_string(n) + " item lines in receipt " +
                std::to_string(doc.number) + ", expected " + std::to_string(d.items.size()));
      }
    }
  }
  uint64_t lost = 0, twice = 0, unanswered = 0, voided_docs = 0;
  std::set<int64_t> numbers;
  for (const Document& d : docs_) {
    const int n = sales.count(d.id) ? sales[d.id] : 0;
    if (n == 0) {
      ++lost;
      Finding(DocName(d.id) + ": not printed (" + std::to_string(d.attempts) + " requests)");
    }
    if (n > 1) {
      ++twice;
      Finding(DocName(d.id) + ": printed " + std::to_string(n) + " times");
    }
    if (!d.done) ++unanswered;
    if (voided.count(d.id)) ++voided_docs;
    if (d.receipt_number >= 0 && !numbers.insert(d.receipt_number).second) {
      Finding(DocName(d.id) + ": receipt number " + std::to_string(d.receipt_number) +
              " answered for another document too");
    }
  }
  const int64_t counted = sim_->DataItem(20);
  if (counted != o_.receipts) {
    Finding("the printer counted " + std::to_string(counted) + " fiscal receipts for " +
            std::to_string(o_.receipts) + " documents");
  }
  std::printf("  audit: %zu journal documents, %" PRIu64
              " completed receipts with soak lines, %" PRIu64 " voided receipts (%" PRIu64
              " documents had lines in one); lost %" PRIu64 ", printed twice %" PRIu64
              ", unanswered %" PRIu64 "\n",
              journal.size(), sale_docs, voided_receipts, voided_docs, lost, twice, unanswered);
  for (const std::string& f : findings_) std::printf("  FINDING: %s\n", f.c_str());
  if (finding_count_ > findings_.size()) {
    std::printf("  ... %" PRIu64 " findings in all\n", finding_count_);
  }
  const bool ok = finding_count_ == 0 && lost == 0 && twice == 0 && unanswered == 0;
  std::printf("kelofpud-soak: %s\n", ok ? "PASS" : "FAIL");
  if (!ok) std::printf("  bridge log: %s/kelofpud.log (KELO_KEEP_TEMP=1 keeps it)\n", dir_.c_str());
  return ok ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: kelofpud-soak [--receipts N] [--clients N] [--seed N] [--faults SPEC]\n"
               "                     [--kelofpud PATH] [--library PATH] [--limit SECONDS]\n");
  return 2;
}

}  // namespace
}  // namespace kelo::bridgetest

int main(int argc, char** argv) {
  using kelo::bridgetest::Options;
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return kelo::bridgetest::Usage();
    const std::string v = argv[++i];
    if (a == "--receipts")
      o.receipts = std::atoi(v.c_str());
    else if (a == "--clients")
      o.clients = std::atoi(v.c_str());
    else if (a == "--seed")
      o.seed = std::strtoull(v.c_str(), nullptr, 10);
    else if (a == "--faults")
      o.faults = v;
    else if (a == "--kelofpud")
      o.kelofpud = v;
    else if (a == "--library")
      o.library = v;
    else if (a == "--limit")
      o.limit_s = std::atoi(v.c_str());
    else
      return kelo::bridgetest::Usage();
  }
  if (o.receipts < 1 || o.clients < 1) return kelo::bridgetest::Usage();
  signal(SIGPIPE, SIG_IGN);
  kelo::bridgetest::TempDir dir("kelofpud-soak");
  if (!dir.ok()) return 2;
  kelo::bridgetest::Soak soak(o, dir.path());
  return soak.Run();
}

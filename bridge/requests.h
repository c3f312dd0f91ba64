// Idempotent requests: every POST carries an Idempotency-Key, and each key is printed at most
// once, whatever the client retries and however often the bridge restarts.
//
// A key is either in flight (in keys_, with the job doing it) or in the journal with its
// outcome. The first request for a key queues the job; a retry while it runs waits for the
// same job; a retry afterwards replays the journalled response. The job writes the journal row
// ('started', with the printer's counters) before the first line goes to the printer, and its
// outcome after the receipt ends, before the key leaves keys_.
//
// keys_mutex_ guards keys_; it is first in the lock order: the journal's lock may be taken
// under it, nothing else is (docs/ARCHITECTURE.md).
#pragma once
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bridge/document.h"
#include "bridge/journal.h"
#include "bridge/printer_worker.h"

namespace kelo::bridge {

struct HttpReply {
  int status = 500;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

// What a POST asks for.
struct PostRequest {
  std::string key;
  std::string path;
  std::string printer;
  std::string kind;  // "receipt", "x_report", "z_report", "drawer"
  std::string body_hash;
};

// SHA-256 of path, a newline and the body, as hex.
std::string RequestHash(const std::string& path, const std::string& canonical_body);

class RequestLedger {
 public:
  // How long a request waits for its print before it answers 409 (the print goes on).
  static constexpr auto kWaitLimit = std::chrono::seconds(120);

  explicit RequestLedger(Journal& journal, std::chrono::milliseconds wait_limit = kWaitLimit)
      : journal_(journal), wait_limit_(wait_limit) {}

  HttpReply SubmitReceipt(const PostRequest& request, const ReceiptDocument& doc,
                          PrinterWorker& worker);
  HttpReply SubmitOther(const PostRequest& request, PrinterWorker& worker);

  // Settles the journal rows a stopped bridge left 'started' for this printer, and voids a
  // receipt left open (the online hook of the printer's worker).
  void Reconcile(const std::string& printer, PrinterSession& session);

 private:
  using Run = std::function<JobOutcome(PrinterSession&)>;
  HttpReply Submit(const PostRequest& request, Run run, PrinterWorker& worker);
  JobOutcome PrintReceiptJob(PrinterSession& s, JournalRow row, const ReceiptDocument& doc);
  JobOutcome OtherJob(PrinterSession& s, JournalRow row);
  JobOutcome Finish(JournalRow& row, int status, const std::string& body);

  struct InFlight {
    std::string body_hash;
    std::shared_ptr<Job> job;
  };

  Journal& journal_;
  const std::chrono::milliseconds wait_limit_;
  std::mutex keys_mutex_;
  std::map<std::string, InFlight> keys_;
};

}  // namespace kelo::bridge

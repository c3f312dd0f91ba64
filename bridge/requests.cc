#include "bridge/requests.h"

#include <openssl/evp.h>

#include <cstdio>

#include "bridge/json_input.h"
#include "bridge/printing.h"

namespace kelo::bridge {
namespace {

using Json = nlohmann::json;

HttpReply Reply(const JobOutcome& outcome) {
  return {outcome.status, outcome.body, {}};
}

std::string ErrorBody(const std::string& code, const std::string& message) {
  return ErrorOutcome(0, code, message).body;
}

Json PrinterErrorJson(const PrinterError& e) {
  return {{"code", "printer_error"},
          {"result_code", e.result_code},
          {"extended_code", e.extended},
          {"message", e.step + ": " + e.message}};
}

}  // namespace

std::string RequestHash(const std::string& path, const std::string& canonical_body) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  const std::string text = path + "\n" + canonical_body;
  EVP_Digest(text.data(), text.size(), digest, &size, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

namespace {

// The journal row a request starts with: what identifies it, before any outcome.
JournalRow RowOf(const PostRequest& request) {
  JournalRow row;
  row.key = request.key;
  row.path = request.path;
  row.printer = request.printer;
  row.kind = request.kind;
  row.body_hash = request.body_hash;
  return row;
}

}  // namespace

HttpReply RequestLedger::SubmitReceipt(const PostRequest& request, const ReceiptDocument& doc,
                                       PrinterWorker& worker) {
  return Submit(
      request,
      [this, request, doc](PrinterSession& s) { return PrintReceiptJob(s, RowOf(request), doc); },
      worker);
}

HttpReply RequestLedger::SubmitOther(const PostRequest& request, PrinterWorker& worker) {
  return Submit(
      request, [this, request](PrinterSession& s) { return OtherJob(s, RowOf(request)); }, worker);
}

HttpReply RequestLedger::Submit(const PostRequest& request, Run run, PrinterWorker& worker) {
  std::shared_ptr<Job> job;
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(keys_mutex_);
    const auto it = keys_.find(request.key);
    if (it != keys_.end()) {
      if (it->second.body_hash != request.body_hash) {
        return {
            422, ErrorBody("conflict", "this Idempotency-Key was used for another request"), {}};
      }
      job = it->second.job;
    } else if (auto row = journal_.Find(request.key)) {
      if (row->body_hash != request.body_hash) {
        return {
            422, ErrorBody("conflict", "this Idempotency-Key was used for another request"), {}};
      }
      if (row->state == "started") {
        // Left by a print whose printer stopped answering; settled when it is back.
        return {409,
                ErrorBody("conflict",
                          "the outcome of this key is not known until the printer answers again"),
                {{"Retry-After", "1"}}};
      }
      return {row->http_status, row->response, {{"Idempotent-Replayed", "true"}}};
    } else {
      job = std::make_shared<Job>(std::move(run));
      job->on_done = [this, key = request.key](const JobOutcome& outcome) {
        if (outcome.keep) return;
        std::lock_guard<std::mutex> lock(keys_mutex_);
        keys_.erase(key);
      };
      keys_[request.key] = {request.body_hash, job};
      first = true;
    }
  }
  if (first && !worker.Enqueue(job)) {
    std::lock_guard<std::mutex> lock(keys_mutex_);
    keys_.erase(request.key);
    return {503, ErrorBody("unavailable", "the printer is offline"), {{"Retry-After", "1"}}};
  }
  JobOutcome outcome;
  if (job->WaitDone(wait_limit_, &outcome)) {
    HttpReply reply = Reply(outcome);
    if (!first) reply.headers.emplace_back("Idempotent-Replayed", "true");
    return reply;
  }
  if (first && job->CancelIfNotStarted()) {
    std::lock_guard<std::mutex> lock(keys_mutex_);
    keys_.erase(request.key);
    return {503,
            ErrorBody("unavailable", "the printer did not get to this request in time"),
            {{"Retry-After", "1"}}};
  }
  return {409,
          ErrorBody("conflict", "still printing; retry with the same Idempotency-Key"),
          {{"Retry-After", "1"}}};
}

JobOutcome RequestLedger::Finish(JournalRow& row, int status, const std::string& body) {
  row.http_status = status;
  row.response = body;
  std::string error;
  JobOutcome outcome{status, body, false};
  if (!journal_.Finish(row, &error)) {
    // The print is done either way; keep its outcome in memory so that retries get it.
    std::fprintf(stderr, "kelofpud: %s: %s\n", row.key.c_str(), error.c_str());
    outcome.keep = true;
  }
  return outcome;
}

JobOutcome RequestLedger::PrintReceiptJob(PrinterSession& s, JournalRow row,
                                          const ReceiptDocument& doc) {
  control::FiscalPrinter& fp = s.fp;
  if (ReceiptOpen(fp)) {
    std::fprintf(stderr, "kelofpud: %s: voiding a receipt left open\n", row.printer.c_str());
    VoidOpenReceipt(fp);
    s.counters.known = false;
  }
  if (!s.counters.known && !ReadCounters(fp, &s.counters)) {
    return ErrorOutcome(503, "unavailable", "the printer does not answer: " + fp.ErrorString());
  }
  const Counters before = s.counters;
  const ReceiptFigures figures = ComputeFigures(doc);
  Json result = {{"key", row.key},
                 {"state", "printed"},
                 {"total", FormatCents(figures.total_cents)},
                 {"paid", FormatCents(figures.paid_cents)},
                 {"change", FormatCents(figures.change_cents)}};
  row.state = "started";
  row.counter_before = before.receipts;
  row.voided_before = before.voided;
  row.response = Dump(result);  // the figures, for a reconciliation after a restart
  row.total = FormatCents(figures.total_cents);
  std::string error;
  if (!journal_.Insert(row, &error)) {
    return ErrorOutcome(503, "unavailable", error);
  }
  const std::optional<PrinterError> failure = PrintReceipt(fp, doc);
  Counters after;
  if (!failure) {
    after = before;
    after.receipts = before.receipts + 1;
  } else {
    std::fprintf(stderr, "kelofpud: %s: %s failed (%d/%d): %s\n", row.printer.c_str(),
                 failure->step.c_str(), failure->result_code, failure->extended,
                 failure->message.c_str());
    VoidOpenReceipt(fp);
    if (ReceiptOpen(fp) || !ReadCounters(fp, &after)) {
      // Whether the receipt was printed is not known until the printer answers again: the
      // row stays 'started' and is settled by the reconciliation when it is back.
      s.counters.known = false;
      s.reconcile_needed = true;
      return ErrorOutcome(503, "unavailable",
                          "the printer stopped answering during the receipt (" + failure->message +
                              "); retry with the same Idempotency-Key once it is back");
    }
  }
  s.counters = after;
  const bool printed = (after.receipts - before.receipts) - (after.voided - before.voided) >= 1;
  if (printed) {
    // Also when a failure was reported after the printer had ended the receipt.
    row.state = "printed";
    row.receipt_number = before.receipts + 1;
    s.last_receipt_number = row.receipt_number;
    result["receipt_number"] = row.receipt_number;
    std::fprintf(stderr, "kelofpud: %s: key %s: receipt %lld printed, total %s\n",
                 row.printer.c_str(), row.key.c_str(), static_cast<long long>(row.receipt_number),
                 row.total.c_str());
    return Finish(row, 201, Dump(result));
  }
  row.state = "failed";
  Json body = {{"key", row.key},
               {"state", "failed"},
               {"voided", after.voided > before.voided},
               {"error", failure ? PrinterErrorJson(*failure) : Json{{"code", "printer_error"}}}};
  return Finish(row, 502, Dump(body));
}

JobOutcome RequestLedger::OtherJob(PrinterSession& s, JournalRow row) {
  control::FiscalPrinter& fp = s.fp;
  row.state = "started";
  std::string error;
  if (!journal_.Insert(row, &error)) return ErrorOutcome(503, "unavailable", error);
  std::optional<PrinterError> failure;
  std::string done_state = "printed";
  if (row.kind == "drawer") {
    failure = OpenDrawer(fp);
    done_state = "opened";
  } else {
    failure = PrintReport(fp, row.kind == "z_report");
    s.counters.known = false;  // a Z report starts the day's counters again
  }
  if (failure) {
    row.state = "failed";
    Json body = {{"key", row.key}, {"state", "failed"}, {"error", PrinterErrorJson(*failure)}};
    return Finish(row, 502, Dump(body));
  }
  row.state = "printed";
  return Finish(row, 201, Dump(Json{{"key", row.key}, {"state", done_state}}));
}

void RequestLedger::Reconcile(const std::string& printer, PrinterSession& s) {
  control::FiscalPrinter& fp = s.fp;
  for (JournalRow& row : journal_.Unfinished()) {
    if (row.printer != printer) continue;
    std::string error;
    if (row.kind == "receipt") {
      if (ReceiptOpen(fp)) {
        // Interrupted mid-receipt: void it. A receipt already paid in full cannot be voided
        // and is ended (printed) instead, so the counters below tell which of the two happened.
        if (!VoidOpenReceipt(fp)) {
          s.reconcile_needed = true;
          continue;
        }
      }
      Counters now;
      if (!ReadCounters(fp, &now)) {
        s.reconcile_needed = true;
        continue;
      }
      s.counters = now;
      if (now.receipts < row.counter_before) {
        // A Z report came in between: the counters cannot tell.
        row.state = "failed";
        Finish(
            row, 502,
            Dump(Json{{"key", row.key},
                      {"state", "failed"},
                      {"voided", false},
                      {"recovered", true},
                      {"error",
                       {{"code", "printer_error"},
                        {"message",
                         "interrupted, and the day was closed since: check the printer's journal "
                         "for this receipt"}}}}));
        continue;
      }
      if ((now.receipts - row.counter_before) - (now.voided - row.voided_before) >= 1) {
        Json body = Json::parse(row.response, nullptr, false);
        if (!body.is_object()) body = Json{{"key", row.key}, {"state", "printed"}};
        row.state = "printed";
        row.receipt_number = row.counter_before + 1;
        body["receipt_number"] = row.receipt_number;
        body["recovered"] = true;
        std::fprintf(stderr, "kelofpud: %s: key %s: receipt %lld was printed\n", printer.c_str(),
                     row.key.c_str(), static_cast<long long>(row.receipt_number));
        Finish(row, 201, Dump(body));
      } else {
        std::fprintf(stderr, "kelofpud: %s: key %s: not printed; forgotten\n", printer.c_str(),
                     row.key.c_str());
        journal_.Delete(row.key, &error);
      }
    } else if (row.kind == "z_report" && !fp.DayOpened()) {
      row.state = "printed";
      Finish(row, 201, Dump(Json{{"key", row.key}, {"state", "printed"}, {"recovered", true}}));
    } else {
      // An X report or drawer that may or may not have happened: doing it again is harmless.
      journal_.Delete(row.key, &error);
    }
  }
  if (ReceiptOpen(fp)) {
    std::fprintf(stderr, "kelofpud: %s: voiding a receipt left open\n", printer.c_str());
    VoidOpenReceipt(fp);
  }
  if (!s.counters.known) ReadCounters(fp, &s.counters);
  if (s.counters.known && s.last_receipt_number < 0) s.last_receipt_number = s.counters.receipts;
}

}  // namespace kelo::bridge

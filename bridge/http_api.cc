#include "bridge/http_api.h"

#include <httplib.h>

#include "bridge/document.h"
#include "bridge/json_input.h"
#include "bridge/printing.h"
#include "bridge/web_page.h"

namespace kelo::bridge {
namespace {

using Json = nlohmann::json;
constexpr const char* kJson = "application/json";
constexpr int kRecentLimit = 10;
constexpr auto kDataWait = std::chrono::seconds(30);

void SendError(httplib::Response& res, int status, const std::string& code,
               const std::string& message, const std::string& field = "") {
  res.status = status;
  res.set_content(ErrorOutcome(status, code, message, field).body, kJson);
}

void Send(httplib::Response& res, const HttpReply& reply) {
  res.status = reply.status;
  for (const auto& [name, value] : reply.headers) res.set_header(name, value);
  res.set_content(reply.body, kJson);
}

const char* CodeForStatus(int status) {
  switch (status) {
    case 400:
      return "bad_request";
    case 401:
    case 403:
      return "unauthorized";
    case 404:
    case 405:
      return "not_found";
    case 409:
    case 422:
      return "conflict";
    case 413:
      return "too_large";
    case 503:
      return "unavailable";
    default:
      return status >= 500 ? "printer_error" : "bad_request";
  }
}

// The Host header names this machine: a page of another site that a DNS name pointed at
// 127.0.0.1 cannot drive the printers (checked when listening on loopback).
bool LocalHostHeader(const std::string& host_header) {
  std::string host = host_header;
  if (!host.empty() && host.front() == '[') {
    host = host.substr(1, host.find(']') == std::string::npos ? 0 : host.find(']') - 1);
  } else if (const size_t colon = host.rfind(':'); colon != std::string::npos) {
    host = host.substr(0, colon);
  }
  return IsLoopback(host);
}

class Api {
 public:
  explicit Api(ApiContext& c) : c_(c) {}

  // Token and Host checks for the API; false after answering.
  bool Admit(const httplib::Request& req, httplib::Response& res) {
    if (IsLoopback(c_.config.listen_host) && !LocalHostHeader(req.get_header_value("Host"))) {
      SendError(res, 403, "unauthorized", "requests must name this machine as Host");
      return false;
    }
    if (c_.config.token.empty()) return true;
    const std::string auth = req.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    const bool ok = auth.size() > prefix.size() && auth.compare(0, prefix.size(), prefix) == 0 &&
                    ConstantTimeEqual(auth.substr(prefix.size()), c_.config.token);
    if (!ok) {
      res.set_header("WWW-Authenticate", "Bearer");
      SendError(res, 401, "unauthorized", "a valid bearer token is required");
    }
    return ok;
  }

  PrinterWorker* Printer(const std::string& name, httplib::Response& res) {
    const auto it = c_.printers.find(name);
    if (it == c_.printers.end()) {
      SendError(res, 404, "not_found", "no printer named \"" + name + "\"");
      return nullptr;
    }
    return it->second;
  }

  Json StatusJson(PrinterWorker& worker) {
    const PrinterStatus s = worker.Status();
    Json recent = Json::array();
    for (const JournalRow& row : c_.journal.Recent(worker.config().name, kRecentLimit)) {
      Json r = {{"key", row.key}, {"kind", row.kind}, {"state", row.state}, {"at", row.updated_at}};
      r["receipt_number"] = row.receipt_number >= 0 ? Json(row.receipt_number) : Json(nullptr);
      r["total"] = row.total.empty() ? Json(nullptr) : Json(row.total);
      recent.push_back(std::move(r));
    }
    return {{"name", worker.config().name},
            {"device", worker.config().device},
            {"online", s.online},
            {"paper", s.paper},
            {"cover_open", s.cover_open},
            {"day_open", s.day_open},
            {"receipt_open", s.receipt_open},
            {"busy", s.busy},
            {"last_receipt_number",
             s.last_receipt_number >= 0 ? Json(s.last_receipt_number) : Json(nullptr)},
            {"last_error", s.last_error.empty() ? Json(nullptr) : Json(s.last_error)},
            {"recent", std::move(recent)}};
  }

  // Common start of every POST: admission, printer, key. Null after answering.
  PrinterWorker* BeginPost(const httplib::Request& req, httplib::Response& res, std::string* key) {
    if (!Admit(req, res)) return nullptr;
    PrinterWorker* worker = Printer(req.matches[1], res);
    if (!worker) return nullptr;
    if (!req.has_header("Idempotency-Key")) {
      SendError(res, 400, "bad_request", "the Idempotency-Key header is required",
                "Idempotency-Key");
      return nullptr;
    }
    *key = req.get_header_value("Idempotency-Key");
    if (!ValidIdempotencyKey(*key)) {
      SendError(res, 400, "bad_request", "must be 1 to 100 printable ASCII characters",
                "Idempotency-Key");
      return nullptr;
    }
    return worker;
  }

  void PostReceipt(const httplib::Request& req, httplib::Response& res) {
    std::string key;
    PrinterWorker* worker = BeginPost(req, res, &key);
    if (!worker) return;
    const std::string type = req.get_header_value("Content-Type");
    if (type.rfind(kJson, 0) != 0) {
      SendError(res, 400, "bad_request", "Content-Type must be application/json", "Content-Type");
      return;
    }
    if (req.body.size() > c_.config.max_body_bytes) {
      SendError(res, 413, "too_large", "the body is larger than the bridge accepts");
      return;
    }
    Json root;
    std::string why;
    if (!ParseJsonExact(req.body, &root, &why)) {
      SendError(res, 400, "bad_request", why, "(body)");
      return;
    }
    ReceiptDocument doc;
    FieldError error;
    if (!ReadReceiptDocument(root, &doc, &error)) {
      SendError(res, 400, "bad_request", error.message, error.field);
      return;
    }
    PostRequest request{key, req.path, worker->config().name, "receipt",
                        RequestHash(req.path, Dump(root))};
    Send(res, c_.ledger.SubmitReceipt(request, doc, *worker));
  }

  void PostOther(const httplib::Request& req, httplib::Response& res, const std::string& kind) {
    std::string key;
    PrinterWorker* worker = BeginPost(req, res, &key);
    if (!worker) return;
    // These take no document; a body, if any, must be an empty JSON object.
    if (!req.body.empty()) {
      Json root;
      std::string why;
      if (!ParseJsonExact(req.body, &root, &why)) {
        SendError(res, 400, "bad_request", why, "(body)");
        return;
      }
      if (!root.is_object() || !root.empty()) {
        SendError(res, 400, "bad_request", "no fields are taken here", "(body)");
        return;
      }
    }
    PostRequest request{key, req.path, worker->config().name, kind, RequestHash(req.path, "{}")};
    Send(res, c_.ledger.SubmitOther(request, *worker));
  }

  void GetData(const httplib::Request& req, httplib::Response& res) {
    if (!Admit(req, res)) return;
    PrinterWorker* worker = Printer(req.matches[1], res);
    if (!worker) return;
    const std::string name = req.matches[2];
    const DataItem* item = nullptr;
    for (const DataItem& d : DataItems()) {
      if (name == d.name) item = &d;
    }
    if (!item) {
      SendError(res, 404, "not_found", "no data item named \"" + name + "\"", "item");
      return;
    }
    auto job = std::make_shared<Job>([item, name](PrinterSession& s) {
      std::string value;
      if (auto failure = ReadData(s.fp, *item, &value)) {
        Json error = {{"code", "printer_error"},
                      {"result_code", failure->result_code},
                      {"extended_code", failure->extended},
                      {"message", failure->message}};
        return JobOutcome{502, Dump(Json{{"error", error}}), false};
      }
      return JobOutcome{200, Dump(Json{{"item", name}, {"value", value}}), false};
    });
    if (!worker->Enqueue(job)) {
      SendError(res, 503, "unavailable", "the printer is offline");
      return;
    }
    JobOutcome outcome;
    if (!job->WaitDone(kDataWait, &outcome)) {
      job->CancelIfNotStarted();
      SendError(res, 503, "unavailable", "the printer is busy; try again");
      return;
    }
    Send(res, {outcome.status, outcome.body, {}});
  }

  ApiContext& c_;
};

}  // namespace

bool ConstantTimeEqual(const std::string& a, const std::string& b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  const std::string& longer = a.size() >= b.size() ? a : b;
  for (size_t i = 0; i < longer.size(); ++i) {
    const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    diff |= x ^ y;
  }
  return diff == 0;
}

bool ValidIdempotencyKey(const std::string& key) {
  if (key.empty() || key.size() > 100) return false;
  for (const char c : key) {
    if (c < 0x21 || c > 0x7e) return false;
  }
  return true;
}

void InstallRoutes(httplib::Server& server, ApiContext& context) {
  auto api = std::make_shared<Api>(context);
  server.set_payload_max_length(context.config.max_body_bytes);
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; script-src 'unsafe-inline'; style-src 'unsafe-inline'");
    res.set_header("X-Frame-Options", "DENY");
    res.set_content(std::string(kStatusPage), "text/html; charset=utf-8");
  });
  server.Get("/v1/printers", [api](const httplib::Request& req, httplib::Response& res) {
    if (!api->Admit(req, res)) return;
    Json list = Json::array();
    for (const PrinterConfig& p : api->c_.config.printers) {
      list.push_back(api->StatusJson(*api->c_.printers.at(p.name)));
    }
    res.set_content(Dump(Json{{"printers", std::move(list)}}), kJson);
  });
  server.Get("/v1/printers/([^/]+)", [api](const httplib::Request& req, httplib::Response& res) {
    if (!api->Admit(req, res)) return;
    if (PrinterWorker* worker = api->Printer(req.matches[1], res)) {
      res.set_content(Dump(api->StatusJson(*worker)), kJson);
    }
  });
  server.Post(
      "/v1/printers/([^/]+)/receipts",
      [api](const httplib::Request& req, httplib::Response& res) { api->PostReceipt(req, res); });
  server.Post("/v1/printers/([^/]+)/reports/(x|z)",
              [api](const httplib::Request& req, httplib::Response& res) {
                api->PostOther(req, res, req.matches[2] == "z" ? "z_report" : "x_report");
              });
  server.Post("/v1/printers/([^/]+)/drawer",
              [api](const httplib::Request& req, httplib::Response& res) {
                api->PostOther(req, res, "drawer");
              });
  server.Get(
      "/v1/printers/([^/]+)/data/([^/]+)",
      [api](const httplib::Request& req, httplib::Response& res) { api->GetData(req, res); });
  // Every error answer is JSON, also those httplib makes itself (no route, body too large).
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    const std::string message = res.status == 404   ? "no such resource"
                                : res.status == 413 ? "the body is larger than the bridge accepts"
                                : res.status == 400
                                    ? "malformed request (a POST needs Content-Length or chunks)"
                                    : "request refused";
    res.set_content(ErrorOutcome(res.status, CodeForStatus(res.status), message).body, kJson);
  });
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
        std::string what = "internal error";
        try {
          std::rethrow_exception(ep);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        SendError(res, 500, "printer_error", what);
      });
}

}  // namespace kelo::bridge

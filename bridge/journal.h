// The bridge's journal: one SQLite row per Idempotency-Key with the outcome of its request,
// so that a retry (during the print, after it, or after a restart of the bridge) gets the
// first outcome and nothing is printed twice.
//
// One connection in WAL mode. Insert is synced (synchronous=FULL): the 'started' row has reached
// the disk when it returns. Finish and Delete commit with synchronous=NORMAL: they survive a
// crash of the process; a power cut may lose them, leaving the row 'started' for the
// reconciliation at the next start. Every statement is prepared once. mutex_ guards the connection
// and the statements; it is a leaf in the lock order below Bridge::keys_mutex_
// (docs/ARCHITECTURE.md): callers may hold keys_mutex_ while they call in, the journal calls
// nothing outside SQLite.
#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace kelo::bridge {

struct JournalRow {
  std::string key;
  std::string path;             // "/v1/printers/front/receipts"
  std::string printer;          // "front"
  std::string kind;             // "receipt", "x_report", "z_report", "drawer"
  std::string body_hash;        // SHA-256 of path and canonical body, hex
  std::string state;            // "started", "printed", "failed"
  int64_t counter_before = -1;  // the printer's receipt counter before the print (-1: none)
  int64_t voided_before = -1;   // its voided-receipt counter before the print
  int http_status = 0;          // 0 while started
  std::string response;         // the response body; while started, the planned figures
  int64_t receipt_number = -1;
  std::string total;  // "12.50" for receipts, "" otherwise
  std::string created_at;
  std::string updated_at;  // "2026-12-09T10:00:00Z"
};

class Journal {
 public:
  Journal() = default;
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Opens (creating when absent) the database file and drops finished rows older than 90
  // days; false with a reason.
  bool Open(const std::string& path, std::string* error);
  void Close();

  // The row of a key, if there is one.
  std::optional<JournalRow> Find(const std::string& key);
  // Inserts a 'started' row (the key must not exist). Synced when it returns true.
  bool Insert(const JournalRow& row, std::string* error);
  // Sets state, status, response, receipt number and total of an existing row.
  bool Finish(const JournalRow& row, std::string* error);
  bool Delete(const std::string& key, std::string* error);
  // Every row still 'started' (left by a bridge that stopped mid-print).
  std::vector<JournalRow> Unfinished();
  // The newest finished rows of a printer, newest first.
  std::vector<JournalRow> Recent(const std::string& printer, int limit);

  // UTC now as "YYYY-MM-DDTHH:MM:SSZ".
  static std::string Now();

 private:
  void CloseLocked();
  bool Exec(const char* sql, std::string* error);
  bool Prepare(sqlite3_stmt** stmt, const char* sql, std::string* error);
  std::vector<JournalRow> Rows(sqlite3_stmt* stmt);  // steps and resets stmt

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* find_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* finish_ = nullptr;
  sqlite3_stmt* delete_ = nullptr;
  sqlite3_stmt* unfinished_ = nullptr;
  sqlite3_stmt* recent_ = nullptr;
};

}  // namespace kelo::bridge

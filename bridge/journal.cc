#include "bridge/journal.h"

#include <sqlite3.h>

#include <ctime>

namespace kelo::bridge {
namespace {

constexpr const char* kColumns =
    "key, path, printer, kind, body_hash, state, counter_before, voided_before, http_status, "
    "response, receipt_number, total, created_at, updated_at";

std::string Text(sqlite3_stmt* stmt, int column) {
  const unsigned char* text = sqlite3_column_text(stmt, column);
  return text ? reinterpret_cast<const char*>(text) : "";
}

void BindText(sqlite3_stmt* stmt, int index, const std::string& text) {
  sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Runs a statement that returns no rows and resets it.
bool Run(sqlite3* db, sqlite3_stmt* stmt, std::string* error) {
  const int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (rc == SQLITE_DONE) return true;
  *error = std::string("journal: ") + sqlite3_errmsg(db);
  return false;
}

}  // namespace

Journal::~Journal() {
  Close();
}

std::string Journal::Now() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

bool Journal::Exec(const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  *error = std::string("journal: ") + (message ? message : "error");
  sqlite3_free(message);
  return false;
}

bool Journal::Prepare(sqlite3_stmt** stmt, const char* sql, std::string* error) {
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr) == SQLITE_OK) {
    return true;
  }
  *error = std::string("journal: ") + sqlite3_errmsg(db_);
  return false;
}

bool Journal::Open(const std::string& path, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sqlite3_open_v2(path.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    *error = "journal " + path + ": " + (db_ ? sqlite3_errmsg(db_) : "cannot open");
    CloseLocked();
    return false;
  }
  sqlite3_busy_timeout(db_, 5000);
  const std::string create = std::string(
      "CREATE TABLE IF NOT EXISTS requests ("
      " key TEXT PRIMARY KEY, path TEXT NOT NULL, printer TEXT NOT NULL, kind TEXT NOT NULL,"
      " body_hash TEXT NOT NULL, state TEXT NOT NULL, counter_before INTEGER NOT NULL,"
      " voided_before INTEGER NOT NULL, http_status INTEGER NOT NULL, response TEXT NOT NULL,"
      " receipt_number INTEGER NOT NULL, total TEXT NOT NULL, created_at TEXT NOT NULL,"
      " updated_at TEXT NOT NULL);"
      "CREATE INDEX IF NOT EXISTS requests_recent ON requests (printer, updated_at);");
  const std::string find = std::string("SELECT ") + kColumns + " FROM requests WHERE key = ?1";
  const std::string insert = std::string("INSERT INTO requests (") + kColumns +
                             ") VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14)";
  const std::string unfinished =
      std::string("SELECT ") + kColumns + " FROM requests WHERE state = 'started'";
  const std::string recent = std::string("SELECT ") + kColumns +
                             " FROM requests WHERE printer = ?1 AND state != 'started'"
                             " ORDER BY updated_at DESC, rowid DESC LIMIT ?2";
  const bool ok =
      // NORMAL by default; Insert raises it to FULL for its own commit (see Insert).
      Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error) &&
      Exec(create.c_str(), error) &&
      // Finished keys are kept for 90 days: long past any client's retry.
      Exec(
          "DELETE FROM requests WHERE state != 'started' AND"
          " updated_at < strftime('%Y-%m-%dT%H:%M:%SZ', 'now', '-90 days');",
          error) &&
      Prepare(&find_, find.c_str(), error) && Prepare(&insert_, insert.c_str(), error) &&
      Prepare(&finish_,
              "UPDATE requests SET state = ?2, http_status = ?3, response = ?4,"
              " receipt_number = ?5, total = ?6, updated_at = ?7 WHERE key = ?1",
              error) &&
      Prepare(&delete_, "DELETE FROM requests WHERE key = ?1", error) &&
      Prepare(&unfinished_, unfinished.c_str(), error) && Prepare(&recent_, recent.c_str(), error);
  if (!ok) {
    *error = path + ": " + *error;
    CloseLocked();
  }
  return ok;
}

void Journal::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  CloseLocked();
}

void Journal::CloseLocked() {
  for (sqlite3_stmt** stmt : {&find_, &insert_, &finish_, &delete_, &unfinished_, &recent_}) {
    sqlite3_finalize(*stmt);
    *stmt = nullptr;
  }
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
}

std::vector<JournalRow> Journal::Rows(sqlite3_stmt* stmt) {
  std::vector<JournalRow> rows;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    JournalRow r;
    r.key = Text(stmt, 0);
    r.path = Text(stmt, 1);
    r.printer = Text(stmt, 2);
    r.kind = Text(stmt, 3);
    r.body_hash = Text(stmt, 4);
    r.state = Text(stmt, 5);
    r.counter_before = sqlite3_column_int64(stmt, 6);
    r.voided_before = sqlite3_column_int64(stmt, 7);
    r.http_status = sqlite3_column_int(stmt, 8);
    r.response = Text(stmt, 9);
    r.receipt_number = sqlite3_column_int64(stmt, 10);
    r.total = Text(stmt, 11);
    r.created_at = Text(stmt, 12);
    r.updated_at = Text(stmt, 13);
    rows.push_back(std::move(r));
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  return rows;
}

std::optional<JournalRow> Journal::Find(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) return std::nullopt;
  BindText(find_, 1, key);
  auto rows = Rows(find_);
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

bool Journal::Insert(const JournalRow& row, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) {
    *error = "journal: not open";
    return false;
  }
  const std::string now = Now();
  BindText(insert_, 1, row.key);
  BindText(insert_, 2, row.path);
  BindText(insert_, 3, row.printer);
  BindText(insert_, 4, row.kind);
  BindText(insert_, 5, row.body_hash);
  BindText(insert_, 6, row.state);
  sqlite3_bind_int64(insert_, 7, row.counter_before);
  sqlite3_bind_int64(insert_, 8, row.voided_before);
  sqlite3_bind_int(insert_, 9, row.http_status);
  BindText(insert_, 10, row.response);
  sqlite3_bind_int64(insert_, 11, row.receipt_number);
  BindText(insert_, 12, row.total);
  BindText(insert_, 13, now);
  BindText(insert_, 14, now);
  // The 'started' row must be on the disk before the first line goes to the printer, so its
  // commit waits for fsync. Later writes (Finish, Delete) only need to survive the process:
  // in WAL mode a NORMAL commit is in the operating system's hands when it returns, and a
  // power cut that loses it leaves the row 'started', which the next start settles from the
  // printer's counters.
  if (!Exec("PRAGMA synchronous=FULL;", error)) return false;
  const bool inserted = Run(db_, insert_, error);
  std::string ignored;
  Exec("PRAGMA synchronous=NORMAL;", &ignored);
  return inserted;
}

bool Journal::Finish(const JournalRow& row, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) {
    *error = "journal: not open";
    return false;
  }
  BindText(finish_, 1, row.key);
  BindText(finish_, 2, row.state);
  sqlite3_bind_int(finish_, 3, row.http_status);
  BindText(finish_, 4, row.response);
  sqlite3_bind_int64(finish_, 5, row.receipt_number);
  BindText(finish_, 6, row.total);
  BindText(finish_, 7, Now());
  if (!Run(db_, finish_, error)) return false;
  if (sqlite3_changes(db_) != 1) {
    *error = "journal: no row for key " + row.key;
    return false;
  }
  return true;
}

bool Journal::Delete(const std::string& key, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) {
    *error = "journal: not open";
    return false;
  }
  BindText(delete_, 1, key);
  return Run(db_, delete_, error);
}

std::vector<JournalRow> Journal::Unfinished() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) return {};
  return Rows(unfinished_);
}

std::vector<JournalRow> Journal::Recent(const std::string& printer, int limit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) return {};
  BindText(recent_, 1, printer);
  sqlite3_bind_int(recent_, 2, limit);
  return Rows(recent_);
}

}  // namespace kelo::bridge

#include "simulator/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "simulator/printer.h"

namespace kelo::sim {
namespace {

constexpr const char* kMagic = "kelofpu-sim-state 1";
constexpr size_t kMaxJournalDocs = 1000000;
constexpr size_t kMaxDocLines = 100000;
constexpr int32_t kMaxGraphicBytes = 1024;
constexpr int32_t kMaxGraphicRows = 4096;

std::string Escape(std::string_view s) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  if (s.empty()) return "%";  // an empty text is the lone "%"
  for (unsigned char c : s) {
    if (c <= 0x20 || c == '%' || c >= 0x7F) {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

bool Unescape(const std::string& token, std::string* out) {
  out->clear();
  if (token == "%") return true;
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < token.size(); ++i) {
    if (token[i] != '%') {
      out->push_back(token[i]);
      continue;
    }
    if (i + 2 >= token.size()) return false;
    const int hi = hex(token[i + 1]), lo = hex(token[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
  }
  return true;
}

std::string Stamp(const CivilTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d %02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

// Reads the tokens of one line, with bounds and a message for the first problem.
class LineReader {
 public:
  LineReader(const std::string& line, int number) : in_(line), number_(number) {}
  bool Word(std::string* w) {
    if (in_ >> *w) return true;
    return Fail("missing field");
  }
  bool Int(int64_t* v, int64_t lo, int64_t hi) {
    std::string w;
    if (!Word(&w)) return false;
    char* end = nullptr;
    errno = 0;
    const long long x = std::strtoll(w.c_str(), &end, 10);
    if (errno || end == w.c_str() || *end || x < lo || x > hi) return Fail("bad number " + w);
    *v = x;
    return true;
  }
  template <typename T>
  bool Int(T* v, int64_t lo, int64_t hi) {
    int64_t x = 0;
    if (!Int(&x, lo, hi)) return false;
    *v = static_cast<T>(x);
    return true;
  }
  bool Text(std::string* s) {
    std::string w;
    if (!Word(&w)) return false;
    if (!Unescape(w, s)) return Fail("bad escaped text");
    return true;
  }
  bool Time(CivilTime* t) {
    int64_t d = 0, h = 0;
    if (!Int(&d, 20000101, 20991231) || !Int(&h, 0, 235959)) return false;
    t->year = static_cast<int>(d / 10000);
    t->month = static_cast<int>(d / 100 % 100);
    t->day = static_cast<int>(d % 100);
    t->hour = static_cast<int>(h / 10000);
    t->minute = static_cast<int>(h / 100 % 100);
    t->second = static_cast<int>(h % 100);
    if (!IsValidDate(t->year, t->month, t->day) || !IsValidTime(t->hour, t->minute, t->second)) {
      return Fail("bad date or time");
    }
    return true;
  }
  bool End() {
    std::string extra;
    if (in_ >> extra) return Fail("unexpected " + extra);
    return true;
  }
  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = "line " + std::to_string(number_) + ": " + what;
    return false;
  }
  const std::string& error() const { return error_; }

 private:
  std::istringstream in_;
  int number_;
  std::string error_;
};

constexpr int64_t kBig = 999999999999999;

void PutGraphics(std::ostringstream& out, const char* tag, const GraphicStore& store) {
  static const char* kHex = "0123456789ABCDEF";
  for (const auto& [number, g] : store.all()) {
    out << tag << ' ' << number << ' ' << g.width_bytes << ' ' << g.height() << ' ';
    std::string hex;
    for (const auto& row : g.rows) {
      for (int32_t i = 0; i < g.width_bytes; ++i) {
        const uint8_t b = i < static_cast<int32_t>(row.size()) ? row[static_cast<size_t>(i)] : 0;
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 15]);
      }
    }
    out << (hex.empty() ? "-" : hex) << '\n';
  }
}

bool ReadGraphic(LineReader& r, int32_t* number, Graphic* g) {
  int32_t rows = 0;
  std::string hex;
  if (!r.Int(number, 0, 999) || !r.Int(&g->width_bytes, 1, kMaxGraphicBytes) ||
      !r.Int(&rows, 1, kMaxGraphicRows) || !r.Word(&hex) || !r.End()) {
    return false;
  }
  if (hex.size() != static_cast<size_t>(g->width_bytes) * static_cast<size_t>(rows) * 2) {
    return r.Fail("graphic size does not match its data");
  }
  size_t k = 0;
  for (int32_t y = 0; y < rows; ++y) {
    std::vector<uint8_t> row;
    for (int32_t x = 0; x < g->width_bytes; ++x) {
      unsigned v = 0;
      if (std::sscanf(hex.c_str() + k, "%2X", &v) != 1) return r.Fail("bad graphic data");
      row.push_back(static_cast<uint8_t>(v));
      k += 2;
    }
    g->rows.push_back(std::move(row));
  }
  return true;
}

}  // namespace

std::string StateToText(Printer& printer) {
  const FiscalState& s = printer.model().state();
  std::ostringstream out;
  out << kMagic << '\n';
  out << "clock " << Stamp(printer.clock().Now()) << '\n';
  out << "rates";
  for (int32_t r : s.rates) out << ' ' << r;
  out << '\n';
  for (size_t i = 0; i < s.departments.size(); ++i) {
    out << "department " << i + 1 << ' ' << Escape(s.departments[i]) << '\n';
  }
  for (size_t i = 0; i < s.headers.size(); ++i) {
    out << "header " << i + 1 << ' ' << s.headers[i].attribute << ' ' << Escape(s.headers[i].text)
        << '\n';
  }
  const DayTotals& d = s.day;
  out << "day " << (d.open ? 1 : 0);
  for (int64_t v : d.by_vat) out << ' ' << v;
  out << ' ' << d.refunds << ' ' << d.not_paid << ' ' << d.voided_amount << ' ' << d.fiscal_receipts
      << ' ' << d.refund_receipts << ' ' << d.voided_receipts << ' ' << d.nonfiscal_docs << '\n';
  out << "counters " << s.last_z << ' ' << s.grand_total << ' ' << s.restarts << ' '
      << s.next_journal_number << ' ' << (s.training ? 1 : 0) << '\n';
  for (const ZRecord& z : s.fiscal_memory) {
    out << "z " << z.number << ' ' << Stamp(z.when) << ' ' << z.gross << ' ' << z.refunds << ' '
        << z.not_paid << ' ' << z.receipts << ' ' << z.refund_receipts << ' ' << z.voided << ' '
        << z.nonfiscal << ' ' << z.grand_total;
    for (int64_t v : z.by_vat) out << ' ' << v;
    for (int32_t r : z.rates) out << ' ' << r;
    out << '\n';
  }
  for (const JournalDoc& doc : s.journal) {
    out << "doc " << doc.number << ' ' << doc.day << ' ' << Stamp(doc.when) << ' '
        << static_cast<int32_t>(doc.kind) << ' ' << doc.lines.size() << '\n';
    for (const auto& l : doc.lines) out << "line " << Escape(l) << '\n';
  }
  PutGraphics(out, "logo", printer.logos());
  PutGraphics(out, "dgraphic", printer.display_graphics());
  out << "end\n";
  return out.str();
}

bool StateFromText(Printer& printer, const std::string& text, std::string* error) {
  FiscalState s = printer.model().state();  // settings keep their shape (sizes)
  s.fiscal_memory.clear();
  s.journal.clear();
  CivilTime clock = printer.clock().Now();
  GraphicStore logos = printer.logos();
  GraphicStore dgraphics = printer.display_graphics();
  logos.Clear();
  dgraphics.Clear();
  std::istringstream in(text);
  std::string line;
  int number = 0;
  bool ended = false;
  size_t lines_due = 0;  // "line" entries the last "doc" still expects
  auto fail = [&](const std::string& what) {
    *error = "line " + std::to_string(number) + ": " + what;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (number == 1) {
      if (line != kMagic) return fail("not a kelofpu-sim state file");
      continue;
    }
    if (ended) return fail("text after end");
    LineReader r(line, number);
    std::string tag;
    if (!r.Word(&tag)) return fail("empty line");
    bool ok = true;
    if (lines_due > 0 && tag != "line") return fail("journal document is missing lines");
    if (tag == "clock") {
      ok = r.Time(&clock) && r.End();
    } else if (tag == "rates") {
      for (auto& rate : s.rates) ok = ok && r.Int(&rate, 0, 9999);
      ok = ok && r.End();
    } else if (tag == "department") {
      size_t n = 0;
      std::string rec;
      ok = r.Int(&n, 1, static_cast<int64_t>(s.departments.size())) && r.Text(&rec) && r.End();
      if (ok) s.departments[n - 1] = rec;
    } else if (tag == "header") {
      size_t n = 0;
      HeaderLine h;
      ok = r.Int(&n, 1, static_cast<int64_t>(s.headers.size())) && r.Int(&h.attribute, 0, 0xFFFF) &&
           r.Text(&h.text) && r.End();
      if (ok) s.headers[n - 1] = h;
    } else if (tag == "day") {
      DayTotals& d = s.day;
      ok = r.Int(&d.open, 0, 1);
      for (auto& v : d.by_vat) ok = ok && r.Int(&v, -kBig, kBig);
      ok = ok && r.Int(&d.refunds, -kBig, kBig) && r.Int(&d.not_paid, -kBig, kBig) &&
           r.Int(&d.voided_amount, -kBig, kBig) && r.Int(&d.fiscal_receipts, 0, INT32_MAX) &&
           r.Int(&d.refund_receipts, 0, INT32_MAX) && r.Int(&d.voided_receipts, 0, INT32_MAX) &&
           r.Int(&d.nonfiscal_docs, 0, INT32_MAX) && r.End();
    } else if (tag == "counters") {
      ok = r.Int(&s.last_z, 0, INT32_MAX - 1) && r.Int(&s.grand_total, -kBig, kBig) &&
           r.Int(&s.restarts, 0, INT32_MAX) && r.Int(&s.next_journal_number, 1, INT32_MAX) &&
           r.Int(&s.training, 0, 1) && r.End();
    } else if (tag == "z") {
      ZRecord z;
      ok = r.Int(&z.number, 1, INT32_MAX) && r.Time(&z.when) && r.Int(&z.gross, -kBig, kBig) &&
           r.Int(&z.refunds, -kBig, kBig) && r.Int(&z.not_paid, -kBig, kBig) &&
           r.Int(&z.receipts, 0, INT32_MAX) && r.Int(&z.refund_receipts, 0, INT32_MAX) &&
           r.Int(&z.voided, 0, INT32_MAX) && r.Int(&z.nonfiscal, 0, INT32_MAX) &&
           r.Int(&z.grand_total, -kBig, kBig);
      for (auto& v : z.by_vat) ok = ok && r.Int(&v, -kBig, kBig);
      for (auto& v : z.rates) ok = ok && r.Int(&v, 0, 9999);
      ok = ok && r.End();
      if (ok) s.fiscal_memory.push_back(z);
    } else if (tag == "doc") {
      JournalDoc doc;
      int32_t kind = 0;
      ok = r.Int(&doc.number, 1, INT32_MAX) && r.Int(&doc.day, 1, INT32_MAX) && r.Time(&doc.when) &&
           r.Int(&kind, 1, 8) && r.Int(&lines_due, 0, static_cast<int64_t>(kMaxDocLines)) &&
           r.End();
      if (ok && s.journal.size() >= kMaxJournalDocs) ok = r.Fail("journal too long");
      if (ok) {
        doc.kind = static_cast<DocKind>(kind);
        s.journal.push_back(std::move(doc));
      }
    } else if (tag == "line") {
      std::string text;
      if (lines_due == 0) return fail("journal line outside a document");
      ok = r.Text(&text) && r.End();
      if (ok) {
        s.journal.back().lines.push_back(text);
        --lines_due;
      }
    } else if (tag == "logo" || tag == "dgraphic") {
      int32_t n = 0;
      Graphic g;
      ok = ReadGraphic(r, &n, &g);
      if (ok) (tag == "logo" ? logos : dgraphics).Put(n, std::move(g));
    } else if (tag == "end") {
      ok = r.End();
      ended = true;
    } else {
      return fail("unknown entry \"" + tag + "\"");
    }
    if (!ok) {
      *error = r.error();
      return false;
    }
  }
  if (number == 0) return fail("empty file");
  if (lines_due > 0) return fail("journal document is missing lines");
  if (!ended) return fail("file is cut short (no end line)");
  printer.model().state() = std::move(s);
  printer.clock().Set(clock);
  printer.logos() = std::move(logos);
  printer.display_graphics() = std::move(dgraphics);
  return true;
}

bool SaveState(Printer& printer, const std::string& path, std::string* error) {
  const std::string text = StateToText(printer);
  const std::string tmp = path + ".tmp";
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot write " + tmp + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = "cannot write " + tmp + ": " + std::strerror(errno);
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    *error = "cannot flush " + tmp + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    *error = "cannot replace " + path + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool LoadState(Printer& printer, const std::string& path, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buf[65536];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const bool read_error = std::ferror(f) != 0;
  std::fclose(f);
  if (read_error) {
    *error = "cannot read " + path;
    return false;
  }
  std::string why;
  if (!StateFromText(printer, text, &why)) {
    *error = path + ": " + why;
    return false;
  }
  return true;
}

}  // namespace kelo::sim

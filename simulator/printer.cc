#include "simulator/printer.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "link/fpu_frame.h"
#include "link/fpu_protocol.h"

namespace kelo::sim {
namespace {

using Fields = std::vector<std::string>;

// Strict decimal: optional '-', 1 to 18 digits. The printer refuses anything else where it
// expects a number, unlike the driver's lenient reading of replies.
bool Num(const Fields& f, size_t i, int64_t* v) {
  if (i >= f.size()) return false;
  const std::string& s = f[i];
  size_t k = 0;
  bool neg = false;
  if (!s.empty() && s[0] == '-') {
    neg = true;
    k = 1;
  }
  if (k == s.size() || s.size() - k > 18) return false;
  int64_t x = 0;
  for (; k < s.size(); ++k) {
    if (s[k] < '0' || s[k] > '9') return false;
    x = x * 10 + (s[k] - '0');
  }
  *v = neg ? -x : x;
  return true;
}

bool Num32(const Fields& f, size_t i, int32_t* v) {
  int64_t x = 0;
  if (!Num(f, i, &x) || x < INT32_MIN || x > INT32_MAX) return false;
  *v = static_cast<int32_t>(x);
  return true;
}

bool Digits(const std::string& s, size_t n) {
  if (s.size() != n) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "YYYYMMDD" into a civil date (time fields untouched). Shape only; the model validates.
bool DateOf(const Fields& f, size_t i, CivilTime* t) {
  if (i >= f.size() || !Digits(f[i], 8)) return false;
  const int v = std::stoi(f[i]);
  t->year = v / 10000;
  t->month = v / 100 % 100;
  t->day = v % 100;
  return true;
}

bool TimeOf(const Fields& f, size_t i, CivilTime* t) {
  if (i >= f.size() || !Digits(f[i], 6)) return false;
  const int v = std::stoi(f[i]);
  t->hour = v / 10000;
  t->minute = v / 100 % 100;
  t->second = v % 100;
  return true;
}

const std::string& Text(const Fields& f, size_t i) {
  static const std::string kEmpty;
  return i < f.size() ? f[i] : kEmpty;
}

Reply Code(uint8_t code) {
  return Reply{code, {}};
}
Reply Bad() {
  return Code(kReplyBadData);
}
Reply From(Outcome o) {
  switch (o) {
    case Outcome::kOk:
      return Code(kReplyOk);
    case Outcome::kRefused:
      return Code(kReplyRefused);
    default:
      return Code(kReplyBadData);
  }
}

Reply FromGraphic(GraphicResult r) {
  switch (r) {
    case GraphicResult::kOk:
      return Code(kReplyOk);
    case GraphicResult::kNoDownload:
      return Code(kReplyRefused);
    default:
      return Code(kReplyBadData);
  }
}

std::string Hex2(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X", v);
  return buf;
}

// Department records travel as parameter 2944; drivers write that number either as the hex
// digits "2944" or as decimal 2944 in hex form ("B80"); both name the department table.
bool IsDepartmentParameter(uint32_t number) {
  return number == 0x2944 || number == 2944;
}

// Opcodes that print, refused while the cover is open, the paper is out or the printer has
// an error.
bool Prints(uint8_t opcode) {
  switch (opcode) {
    case link::kOpPrintDailyReport:
    case link::kOpBeginFiscalReceipt:
    case link::kOpEndFiscalReceipt:
    case link::kOpReceipt:
    case link::kOpBeginRefundReceipt:
    case link::kOpEndRefundReceipt:
    case link::kOpBeginNonFiscal:
    case link::kOpEndNonFiscal:
    case link::kOpPrintNormalLine:
    case link::kOpCutPaper:
    case link::kOpPrintDuplicate:
    case link::kOpFiscalMemoryReport:
    case link::kOpHealthCheck:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool UnescapeBytes(std::string_view text, std::vector<uint8_t>* out) {
  out->clear();
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out->push_back(static_cast<uint8_t>(text[i]));
      continue;
    }
    if (i + 2 >= text.size()) return false;  // "%" needs two hex digits after it
    const int hi = hex(text[i + 1]);
    const int lo = hex(text[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<uint8_t>(hi * 16 + lo));
    i += 2;
  }
  return true;
}

Printer::Printer(platform::Clock& ticks, DeviceProfile profile)
    : ticks_(ticks),
      profile_(std::move(profile)),
      clock_(ticks),
      model_(profile_, paper_, clock_),
      logos_(999, profile_.logo_width, profile_.logo_height, profile_.logo_width2,
             profile_.logo_height2),
      display_graphics_(999, profile_.display_width, profile_.display_height,
                        profile_.display_width2, profile_.display_height2) {
  model_.SetLogoDescriber([this](int n) { return LogoText(n); });
  display_.lines.assign(static_cast<size_t>(std::max(profile_.display_lines, 1)), "");
}

void Printer::ApplyProfile() {
  logos_.SetLimits(profile_.logo_width, profile_.logo_height, profile_.logo_width2,
                   profile_.logo_height2);
  display_graphics_.SetLimits(profile_.display_width, profile_.display_height,
                              profile_.display_width2, profile_.display_height2);
  display_.lines.resize(static_cast<size_t>(std::max(profile_.display_lines, 1)));
}

std::string Printer::LogoText(int number) const {
  const Graphic* g = logos_.Find(number);
  if (!g) return "[logo " + std::to_string(number) + " not loaded]";
  return "[logo " + std::to_string(number) + ": " + std::to_string(g->width_bytes * 8) + "x" +
         std::to_string(g->height()) + "]";
}

bool Printer::DrawerOpen() {
  if (drawer_open_ && profile_.drawer_close_ms > 0 &&
      platform::TicksSince(drawer_opened_at_, ticks_.TickMs()) >= profile_.drawer_close_ms) {
    drawer_open_ = false;  // the cashier pushed it shut
  }
  return drawer_open_;
}

uint32_t Printer::StatusWord() {
  uint32_t s = 0;
  if (cover_open_) s |= kStatusCoverOpen;
  if (journal_full_) s |= kStatusJournalFull;
  if (journal_near_full_) s |= kStatusJournalNearFull;
  if (paper_out_) s |= kStatusPaperOut;
  if (paper_near_end_) s |= kStatusPaperNearEnd;
  if (DrawerOpen()) s |= kStatusDrawerOpen;
  return s;
}

bool Printer::Blocked() const {
  const bool error = fatal_ != 128 && fatal_ != 135 && fatal_ != 140;
  return cover_open_ || paper_out_ || journal_full_ || error;
}

void Printer::PowerCycle() {
  drawer_open_ = false;
  model_.PowerCycle();
}

bool Printer::AnswersFields(uint8_t opcode) {
  switch (opcode) {
    case link::kOpQueryStatus:
    case link::kOpReadReportLine:
    case link::kOpGetDataItem:
    case link::kOpGetTotalizer:
    case link::kOpReadParameters:
    case link::kOpGetDeviceInfo:
    case link::kOpReadZReportData:
    case link::kOpReadZReportAmount:
      return true;
    default:
      return false;
  }
}

Reply Printer::Execute(uint8_t opcode, std::string_view payload) {
  ++executed_;
  if (!AnswersFields(opcode)) ++mutations_;
  const Fields f = link::SplitFields(payload);
  if (Prints(opcode) && Blocked()) return Code(kReplyRefused);
  int32_t a = 0, b = 0, c = 0;
  CivilTime t = clock_.Now();
  switch (opcode) {
    case link::kOpQueryStatus: {  // QueryStatus
      char date[16], time[16];
      std::snprintf(date, sizeof date, "%04d%02d%02d", t.year, t.month, t.day);
      std::snprintf(time, sizeof time, "%02d%02d%02d", t.hour, t.minute, t.second);
      return Reply{kReplyOk, {date, time, Hex2(model_.flags()), std::to_string(model_.phase())}};
    }
    case link::kOpSetDateTime:  // SetDateTime
      if (!DateOf(f, 0, &t) || !TimeOf(f, 1, &t)) return Bad();
      return From(model_.SetDateTime(t));
    case link::kOpPrintDailyReport:  // PrintDailyReport
      if (!Num32(f, 1, &a)) return Bad();
      return From(model_.DailyReport(Text(f, 0), a));
    case link::kOpSetVatRates: {  // SetVatRates
      std::vector<int64_t> rates;
      for (size_t i = 0; i < f.size(); ++i) {
        int64_t r = 0;
        if (!Num(f, i, &r)) return Bad();
        rates.push_back(r);
      }
      return From(model_.SetVatRates(rates));
    }
    case link::kOpSetDate:  // SetDate
      if (!DateOf(f, 0, &t)) return Bad();
      return From(model_.SetDate(t.year, t.month, t.day));
    case link::kOpSetTime:  // SetTime
      if (!TimeOf(f, 0, &t)) return Bad();
      return From(model_.SetTime(t.hour, t.minute, t.second));
    case link::kOpSetHeaderLine:  // SetHeaderLine
      if (!Num32(f, 0, &a) || f.size() < 2) return Bad();
      if (f.size() > 2 && !Num32(f, 2, &b)) return Bad();
      return From(model_.SetHeaderLine(a, f[1], b));
    case link::kOpReadReportLine: {  // ReadReportLine
      if (!Num32(f, 0, &a)) return Bad();
      bool more = false;
      std::string text;
      const Outcome o = model_.ReadReportPiece(a, &more, &text);
      if (o != Outcome::kOk) return From(o);
      return Reply{kReplyOk, {more ? "1" : "0", text}};
    }
    case link::kOpBeginFiscalReceipt:
      return From(model_.BeginReceipt());
    case link::kOpEndFiscalReceipt:
      return From(model_.EndReceipt());
    case link::kOpReceipt:
      return Receipt(f);
    case link::kOpBeginRefundReceipt:
      return From(model_.BeginRefundReceipt(Text(f, 0)));
    case link::kOpEndRefundReceipt:
      return From(model_.EndRefundReceipt());
    case link::kOpBeginNonFiscal:
      return From(model_.BeginNonFiscal());
    case link::kOpEndNonFiscal:
      return From(model_.EndNonFiscal());
    case link::kOpPrintNormalLine:  // PrintNormalLine
      if (!Num32(f, 0, &a) || f.size() < 2) return Bad();
      return From(model_.PrintNormal(a, f[1]));
    case link::kOpSetTrainingMode:  // SetTrainingMode
      if (!Num32(f, 0, &a)) return Bad();
      return From(model_.SetTrainingMode(a));
    case link::kOpDisplay:
      return Display(f);
    case link::kOpJournalReport: {  // JournalReport
      int32_t dest = 0, sel = 0, type = 0, from_n = 0, to_n = 0;
      CivilTime from, to;
      if (!Num32(f, 0, &dest) || !Num32(f, 1, &sel) || !Num32(f, 2, &type) ||
          !Num32(f, 5, &from_n) || !Num32(f, 6, &to_n) || !Digits(Text(f, 3), 8) ||
          !Digits(Text(f, 4), 8)) {
        return Bad();
      }
      DateOf(f, 3, &from);
      DateOf(f, 4, &to);
      if (dest == 1 && Blocked()) return Code(kReplyRefused);
      return From(model_.JournalReport(dest, sel, type, from, to, from_n, to_n));
    }
    case link::kOpRequestedReport:  // RequestedReport
      if (!Num32(f, 0, &a)) return Bad();
      return From(model_.RequestedReport(a));
    case link::kOpResetPrinter:  // ResetPrinter
      model_.Reset();
      logos_.Abort();  // a download cut short by the reset is dropped
      display_graphics_.Abort();
      return Code(kReplyOk);
    case link::kOpHealthCheck:  // HealthCheck: the mechanics answered, Blocked() was checked above
      return Code(kReplyOk);
    case link::kOpGetDataItem: {  // GetDataItem
      int64_t v = 0;
      if (!Num32(f, 0, &a)) return Bad();
      const Outcome o = model_.DataItem(a, &v);
      if (o != Outcome::kOk) return From(o);
      return Reply{kReplyOk, {std::to_string(v)}};
    }
    case link::kOpGetTotalizer: {  // GetTotalizer
      int64_t v = 0;
      if (!Num32(f, 0, &a) || !Num32(f, 1, &b) || !Num32(f, 2, &c)) return Bad();
      const Outcome o = model_.Totalizer(a, b, c, &v);
      if (o != Outcome::kOk) return From(o);
      return Reply{kReplyOk, {std::to_string(v)}};
    }
    case link::kOpCommand5B:  // Command5B: accepted, no effect on this model
      return Code(kReplyOk);
    case link::kOpCutPaper:  // CutPaper: 1 full, 2 partial
      if (!Num32(f, 0, &a) || (a != 1 && a != 2)) return Bad();
      model_.Cut(a);
      return Code(kReplyOk);
    case link::kOpOpenDrawer:  // OpenDrawer
      drawer_open_ = true;
      drawer_opened_at_ = ticks_.TickMs();
      return Code(kReplyOk);
    case link::kOpPrintDuplicate:  // PrintDuplicate
      return From(model_.PrintDuplicate());
    case link::kOpFiscalMemoryReport: {  // fiscal-memory report: p1, 1 by date / 2 by number, p2,
                                         // from, to
      int32_t mode = 0, summary = 0;
      if (!Num32(f, 1, &mode) || !Num32(f, 2, &summary)) return Bad();
      if (mode == 1) {
        CivilTime from, to;
        if (!DateOf(f, 3, &from) || !DateOf(f, 4, &to)) return Bad();
        return From(model_.FiscalMemoryReportByDate(summary, from, to));
      }
      if (mode == 2) {
        if (!Num32(f, 3, &a) || !Num32(f, 4, &b)) return Bad();
        return From(model_.FiscalMemoryReportByNumber(summary, a, b));
      }
      return Bad();
    }
    case link::kOpReadParameters:
      return ReadParameters(f);
    case link::kOpWriteParameters:
      return WriteParameters(f);
    case link::kOpSimulateKey:  // SimulateKey
      if (!Num32(f, 0, &a) || a < 0 || a > 255) return Bad();
      if (keys_.size() < 10000) keys_.push_back(a);
      return Code(kReplyOk);
    case link::kOpGetDeviceInfo:
      return DeviceInfo(f);
    case link::kOpWriteDeviceFlag:  // WriteDeviceFlag
      if (!Num32(f, 0, &a) || a < 0 || a > 255) return Bad();
      device_flag_ = a;
      return Code(kReplyOk);
    case link::kOpReadZReportData: {
      Reply r;
      model_.ZReportData(&r.fields);
      return r;
    }
    case link::kOpReadZReportAmount: {
      Reply r;
      model_.ZReportAmount(&r.fields);
      return r;
    }
    case link::kOpPrinterGraphic:
      return Graphics(f);
    default:
      return Bad();  // unknown command
  }
}

Reply Printer::Receipt(const Fields& f) {
  if (f.empty() || f[0].size() != 1) return Bad();
  int64_t price = 0, qty = 0, unit = 0, amount = 0;
  int32_t vat = 0, dept = 0, code = 0, form = 0;
  switch (f[0][0]) {
    case link::kSubPrintReceiptText:
      return From(model_.PrintText(Text(f, 1)));
    case link::kSubSellItem:
      if (f.size() < 7 || !Num(f, 2, &price) || !Num(f, 3, &qty) || !Num32(f, 4, &vat) ||
          !Num32(f, 5, &dept) || !Num(f, 6, &unit)) {
        return Bad();
      }
      return From(model_.Sell(f[1], price, qty, vat, dept, unit));
    case link::kSubVoidItem:
      if (f.size() < 6 || !Num(f, 2, &price) || !Num(f, 3, &qty) || !Num32(f, 4, &vat) ||
          !Num32(f, 5, &dept)) {
        return Bad();
      }
      return From(model_.VoidItem(f[1], price, qty, vat, dept));
    case link::kSubVoidReceipt:
      return From(model_.VoidReceipt());
    case link::kSubTotal:
      if (!Num(f, 1, &amount)) return Bad();
      return From(model_.Total(amount));
    case link::kSubItemAdjustment:
      if (f.size() < 6 || !Num(f, 2, &amount) || !Num32(f, 3, &code) || !Num32(f, 4, &vat) ||
          !Num32(f, 5, &dept)) {
        return Bad();
      }
      return From(model_.ItemAdjustment(f[1], amount, code, vat, dept));
    case link::kSubItemAdjustmentVoid:
      if (!Num(f, 1, &amount) || !Num32(f, 2, &code) || !Num32(f, 3, &vat) || !Num32(f, 4, &dept)) {
        return Bad();
      }
      return From(model_.ItemAdjustmentVoid(amount, code, vat, dept));
    case link::kSubNotPaid:
      if (f.size() < 3 || !Num(f, 2, &amount)) return Bad();
      return From(model_.NotPaid(f[1], amount));
    case link::kSubPayment:
      if (f.size() < 4 || !Num(f, 2, &amount) || !Num32(f, 3, &form)) return Bad();
      return From(model_.Payment(f[1], amount, form));
    case link::kSubSubtotal:
      if (!Num(f, 1, &amount)) return Bad();
      return From(model_.Subtotal(amount));
    case link::kSubEndPayment:
      if (!Num(f, 1, &amount)) return Bad();
      return From(model_.EndPayment(amount));
    case link::kSubRefund:
    case link::kSubRefundVoid:
      if (f.size() < 6 || !Num(f, 2, &amount) || !Num32(f, 4, &vat) || !Num32(f, 5, &dept)) {
        return Bad();
      }
      return From(f[0][0] == '+' ? model_.Refund(f[1], amount, vat, dept)
                                 : model_.RefundVoid(f[1], amount, vat, dept));
    case link::kSubPrintTrailerText:
      return From(model_.Trailer(Text(f, 1)));
    case link::kSubSubtotalAdjustment:
      if (f.size() < 4 || !Num(f, 2, &amount) || !Num32(f, 3, &code)) return Bad();
      return From(model_.SubtotalAdjustment(f[1], amount, code));
    case link::kSubSubtotalAdjustmentVoid:
      if (!Num(f, 1, &amount) || !Num32(f, 2, &code)) return Bad();
      return From(model_.SubtotalAdjustmentVoid(amount, code));
    default:
      return Bad();
  }
}

Reply Printer::Graphics(const Fields& f) {
  if (f.empty() || f[0].size() != 1) return Bad();
  int32_t n = 0, rows = 0;
  switch (f[0][0]) {
    case link::kSubPrinterGraphicBegin:
      if (!Num32(f, 1, &n) || !Num32(f, 2, &rows)) return Bad();
      return FromGraphic(logos_.Begin(n, rows));
    case link::kSubPrinterGraphicRow: {
      std::vector<uint8_t> row;
      if (f.size() < 2 || !UnescapeBytes(f[1], &row)) return Bad();
      return FromGraphic(logos_.Row(row));
    }
    case link::kSubPrinterGraphicErase:
      if (!Num32(f, 1, &n)) return Bad();
      return FromGraphic(logos_.Erase(n));
    default:
      return Bad();
  }
}

Reply Printer::Display(const Fields& f) {
  if (f.empty() || f[0].size() != 1) return Bad();
  const size_t columns = static_cast<size_t>(std::max(profile_.display_columns, 1));
  auto clean = [columns](const std::string& s) {
    std::string out = s.substr(0, columns);
    for (char& ch : out) {
      if (static_cast<unsigned char>(ch) < 0x20) ch = ' ';
    }
    return out;
  };
  // The image number of a show command is its last field; a driver that puts it third (and
  // the text last) is understood too.
  auto image_of = [&](int32_t* x, int32_t* y, int32_t* number, std::string* text) {
    if (!Num32(f, 1, x) || !Num32(f, 2, y)) return false;
    if (Num32(f, 4, number)) {
      *text = Text(f, 3);
    } else if (Num32(f, 3, number)) {
      *text = Text(f, 4);
    } else {
      return false;
    }
    return display_graphics_.Find(*number) != nullptr;
  };
  int32_t a = 0, b = 0, n = 0;
  std::string text;
  switch (f[0][0]) {
    case link::kSubDisplaySetVideoMode:
      if (!Num32(f, 1, &a) || a < 0 || a > 3) return Bad();
      display_.mode = a;
      return Code(kReplyOk);
    case link::kSubDisplayClear:
      for (auto& l : display_.lines) l.clear();
      display_.shown_graphic = -1;
      return Code(kReplyOk);
    case link::kSubDisplayText:
      if (!Num32(f, 1, &a) || a < 1 || a > static_cast<int32_t>(display_.lines.size())) {
        return Bad();
      }
      display_.lines[static_cast<size_t>(a - 1)] = clean(Text(f, 2));
      return Code(kReplyOk);
    case link::kSubDisplayGraphicBegin:
      if (!Num32(f, 1, &n) || !Num32(f, 2, &a)) return Bad();
      return FromGraphic(display_graphics_.Begin(n, a));
    case link::kSubDisplayGraphicRow: {
      std::vector<uint8_t> row;
      if (f.size() < 2 || !UnescapeBytes(f[1], &row)) return Bad();
      return FromGraphic(display_graphics_.Row(row));
    }
    case link::kSubDisplayGraphicErase:
      if (!Num32(f, 1, &n)) return Bad();
      if (display_.shown_graphic == n) display_.shown_graphic = -1;
      return FromGraphic(display_graphics_.Erase(n));
    case link::kSubDisplayGraphicShow:
      if (!image_of(&a, &b, &n, &text)) return Bad();
      display_.shown_graphic = n;
      display_.shown_x = a;
      display_.shown_y = b;
      display_.shown_text = text;
      return Code(kReplyOk);
    case link::kSubDisplayStandbyText:
      display_.standby_text = clean(Text(f, 1));
      return Code(kReplyOk);
    case link::kSubDisplayStandbyGraphic:
      if (!image_of(&a, &b, &n, &text)) return Bad();
      display_.standby_graphic = n;
      display_.standby_x = a;
      display_.standby_y = b;
      display_.standby_graphic_text = text;
      return Code(kReplyOk);
    default:
      return Bad();
  }
}

Reply Printer::DeviceInfo(const Fields& f) {
  int32_t selector = 0;
  if (!Num32(f, 0, &selector)) return Bad();
  const DeviceProfile& p = profile_;
  Reply r;
  switch (selector) {
    case 0:
      r.fields = {std::to_string(p.device_type),
                  p.model_name,
                  p.firmware_text,
                  p.firmware_version,
                  p.printer_id,
                  p.country,
                  std::to_string(p.build),
                  p.fiscal_memory_id};
      r.fields.resize(static_cast<size_t>(std::clamp(p.device_info_fields, 0, 8)));
      return r;
    case 1:
      for (int32_t v : {p.vat_rates, p.departments, p.message_length, p.description_length,
                        p.print_width, p.fiscal_memory_records, p.journal_documents, p.country_code,
                        p.header_lines, p.trailer_lines, p.display_lines, p.payment_forms,
                        p.logo_width, p.logo_height, p.logo_width2, p.logo_height2}) {
        r.fields.push_back(std::to_string(v));
      }
      return r;
    case 2:
      r.fields = {p.display_model, std::to_string(p.display_width),
                  std::to_string(p.display_height), std::to_string(p.display_width2),
                  std::to_string(p.display_height2)};
      return r;
    default:
      return Bad();
  }
}

Reply Printer::ReadParameters(const Fields& f) {
  if (f.empty() || f.size() % 2 != 0 || f.size() > 6) return Bad();
  Reply r;
  for (size_t i = 0; i < f.size(); i += 2) {
    int32_t dept = 0;
    std::string record;
    if (!IsDepartmentParameter(link::HexField(f[i])) || !Num32(f, i + 1, &dept)) return Bad();
    const Outcome o = model_.ReadDepartment(dept, &record);
    if (o != Outcome::kOk) return From(o);
    r.fields.insert(r.fields.end(), {f[i], f[i + 1], record});
  }
  return r;
}

Reply Printer::WriteParameters(const Fields& f) {
  if (f.empty() || f.size() % 3 != 0 || f.size() > 9) return Bad();
  // Check every entry first so that a bad one leaves the whole group unwritten.
  for (size_t i = 0; i < f.size(); i += 3) {
    int32_t dept = 0;
    std::string old;
    if (!IsDepartmentParameter(link::HexField(f[i])) || !Num32(f, i + 1, &dept) ||
        model_.ReadDepartment(dept, &old) != Outcome::kOk) {
      return Bad();
    }
  }
  const std::vector<std::string> before = model_.state().departments;
  for (size_t i = 0; i < f.size(); i += 3) {
    int32_t dept = 0;
    Num32(f, i + 1, &dept);
    const Outcome o = model_.WriteDepartment(dept, f[i + 2]);
    if (o != Outcome::kOk) {
      model_.state().departments = before;  // all or nothing
      return From(o);
    }
  }
  return Code(kReplyOk);
}

}  // namespace kelo::sim

#include "simulator/fiscal_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kelo::sim {
namespace {

constexpr int64_t kMaxAmount = 9999999999;  // 99,999,999.99
constexpr size_t kReportPiece = 400;        // bytes of report data per read (frame limit)
constexpr size_t kMaxDepartmentRecord = 120;

const std::string kRule(kPaperColumns, '-');

std::string Pad4(int64_t n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04lld", static_cast<long long>(n));
  return buf;
}

// Quantities are whole units (the service object publishes QuantityDecimalPlaces 0); 0 means
// one item.
int64_t Units(int64_t quantity) {
  return quantity == 0 ? 1 : quantity;
}

std::vector<std::string> SplitColon(std::string_view record) {
  std::vector<std::string> out;
  size_t start = 0;
  while (out.size() < 100) {
    const size_t p = record.find(':', start);
    out.emplace_back(record.substr(start, p == std::string_view::npos ? record.npos : p - start));
    if (p == std::string_view::npos) break;
    start = p + 1;
  }
  return out;
}

bool ParseNumber(std::string_view text, int64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  int64_t v = 0;
  size_t i = 0;
  const bool neg = text[0] == '-';
  if (neg) i = 1;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  *value = neg ? -v : v;
  return true;
}

bool IsPercent(int32_t code) {
  return code == kPercentDiscount || code == kPercentSurcharge;
}
bool IsDiscount(int32_t code) {
  return code == kAmountDiscount || code == kPercentDiscount;
}
bool ValidCode(int32_t code) {
  return code == kAmountDiscount || code == kAmountSurcharge || IsPercent(code);
}

int64_t Sum(const VatArray& a) {
  int64_t s = 0;
  for (int64_t v : a) s += v;
  return s;
}

}  // namespace

std::string FormatAmount(int64_t hundredths) {
  char buf[40];
  const long long v = hundredths;
  std::snprintf(buf, sizeof buf, "%s%lld.%02lld", v < 0 ? "-" : "", std::llabs(v) / 100,
                std::llabs(v) % 100);
  return buf;
}

std::string FormatPercent(int64_t hundredths) {
  return FormatAmount(hundredths) + "%";
}

int64_t MulDivRound(int64_t a, int64_t b, int64_t c) {
  const __int128 p = static_cast<__int128>(a) * b;
  const __int128 half = c / 2;
  const __int128 q = p >= 0 ? (p + half) / c : (p - half) / c;
  return static_cast<int64_t>(q);
}

int64_t VatOfGross(int64_t gross, int32_t rate) {
  if (rate <= 0) return 0;
  return MulDivRound(gross, rate, 10000 + rate);
}

int64_t Receipt::Total() const {
  return Sum(by_vat);
}

VatArray Receipt::Goods() const {
  VatArray goods = by_vat;
  if (refund_document) return goods;
  for (const ReceiptEntry& e : entries) {
    if (e.kind != ReceiptEntry::kRefund && e.kind != ReceiptEntry::kRefundVoid) continue;
    for (size_t v = 0; v < kVatSlots; ++v) goods[v] -= e.effect[v];
  }
  return goods;
}

int64_t DayTotals::Gross() const {
  return Sum(by_vat);
}

FiscalModel::FiscalModel(DeviceProfile& profile, PaperRoll& paper, PrinterClock& clock)
    : profile_(profile), paper_(paper), clock_(clock) {
  FactoryReset();
}

void FiscalModel::FactoryReset() {
  state_ = FiscalState{};
  static const int32_t kRates[] = {2200, 1000, 500, 400, 0, 0, 0, 0, 0};
  const int n = std::clamp(profile_.vat_rates, 1, kMaxVatRates);
  profile_.vat_rates = n;
  for (int v = 1; v <= n; ++v) state_.rates[static_cast<size_t>(v)] = kRates[v - 1];
  state_.rates[static_cast<size_t>(n + 1)] = 0;  // the default index: exempt
  profile_.departments = std::clamp(profile_.departments, 1, kMaxDepartments);
  for (int d = 1; d <= profile_.departments; ++d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "DEPT %02d:0:0:0:0:%d:0", d, d <= n ? d : n + 1);
    state_.departments.emplace_back(buf);
  }
  state_.headers.resize(static_cast<size_t>(std::max(profile_.header_lines, 0)));
  if (!state_.headers.empty()) state_.headers[0].text = "KELO DEMO STORE";
  if (state_.headers.size() > 1) state_.headers[1].text = "Via Roma 1 - 20100 Milano";
  if (state_.headers.size() > 2) state_.headers[2].text = "VAT No. IT01234567890";
  phase_ = kPhaseIdle;
  receipt_open_ = false;
  receipt_ = Receipt{};
  have_last_receipt_ = false;
  in_document_ = false;
  report_active_ = false;
}

uint32_t FiscalModel::flags() const {
  uint32_t f = 0;
  if (profile_.fiscalized) f |= 0x01;
  if (receipt_open_) f |= 0x02;
  if (phase_ == kPhaseNonFiscal) f |= 0x04;
  if (state_.day.open) f |= 0x08;
  if (state_.training) f |= 0x10;
  return f;
}

// ---- Printing helpers ------------------------------------------------------------------

void FiscalModel::Out(std::string_view line) {
  paper_.Print(line);
  if (in_document_) doc_lines_.emplace_back(line);
}

void FiscalModel::OutPrintLine(std::string_view line) {
  for (const auto& l : RenderPrintLine(line, kPaperColumns, logo_)) Out(l);
}

void FiscalModel::PrintLogoLine(int32_t number) {
  Out(logo_ ? logo_(number) : "[logo " + std::to_string(number) + "]");
}

void FiscalModel::StartDocument(DocKind) {
  if (phase_ == kPhaseVoided) phase_ = kPhaseIdle;
  in_document_ = true;
  doc_lines_.clear();
}

void FiscalModel::EndDocument(DocKind kind) {
  JournalDoc doc;
  doc.number = state_.next_journal_number++;
  doc.day = current_day();
  doc.when = clock_.Now();
  doc.kind = kind;
  doc.lines = std::move(doc_lines_);
  doc_lines_.clear();
  state_.journal.push_back(std::move(doc));
  const size_t cap = static_cast<size_t>(std::max(profile_.journal_documents, 1));
  while (state_.journal.size() > cap) state_.journal.pop_front();
  in_document_ = false;
}

void FiscalModel::PrintHeader() {
  static const struct {
    int32_t flag;
    const char* prefix;
  } kPrefixes[] = {{4, "\x1b|3C"}, {8, "\x1b|2C"}, {0x20, "\x1b|6C"}, {0x40, "\x1b|5C"}};
  for (const auto& h : state_.headers) {
    if (h.text.empty()) continue;
    std::string line = "\x1b|cA";
    for (const auto& p : kPrefixes) {
      if (h.attribute & p.flag) {
        line += p.prefix;
        break;
      }
    }
    line += h.text;
    OutPrintLine(line);
  }
  Out("");
}

std::string FiscalModel::VatLabel(int32_t vat) const {
  if (vat < 1 || vat > 26) return "?";
  return std::string(1, static_cast<char>('A' + vat - 1));
}

std::string FiscalModel::DocNumber() const {
  return Pad4(current_day()) + "-" + Pad4(receipt_.number);
}

std::string FiscalModel::PaymentFormName(int32_t form) const {
  static const char* kNames[] = {"CASH",    "CHEQUE",  "CREDIT CARD", "DEBIT CARD",
                                 "VOUCHER", "TICKET",  "TRANSFER",    "CREDIT",
                                 "OTHER 1", "OTHER 2", "OTHER 3"};
  if (form >= 0 && form < 11) return kNames[form];
  return "PAYMENT " + std::to_string(form);
}

void FiscalModel::PrintVatBreakdown(const VatArray& by_vat) {
  for (int v = 1; v <= default_vat(); ++v) {
    const int64_t g = by_vat[static_cast<size_t>(v)];
    if (g == 0) continue;
    const int32_t rate = state_.rates[static_cast<size_t>(v)];
    Out(Columns("VAT " + VatLabel(v) + " " + FormatPercent(rate) + " ON " + FormatAmount(g),
                FormatAmount(VatOfGross(g, rate))));
  }
}

void FiscalModel::PrintCut(int32_t kind) {
  Out(kind == 2 ? "-------------- partial cut ---------------"
                : "=================== cut ==================");
}

// ---- Settings --------------------------------------------------------------------------

Outcome FiscalModel::SetDateTime(const CivilTime& t) {
  if (state_.day.open || document_open()) return Outcome::kRefused;
  if (!IsValidDate(t.year, t.month, t.day) || !IsValidTime(t.hour, t.minute, t.second)) {
    return Outcome::kBadData;
  }
  // The fiscal memory must stay in date order: no going back before the last Z report.
  if (!state_.fiscal_memory.empty() &&
      ToEpochSeconds(t) < ToEpochSeconds(state_.fiscal_memory.back().when)) {
    return Outcome::kBadData;
  }
  clock_.Set(t);
  return Outcome::kOk;
}

Outcome FiscalModel::SetDate(int year, int month, int day) {
  CivilTime t = clock_.Now();
  t.year = year;
  t.month = month;
  t.day = day;
  return SetDateTime(t);
}

Outcome FiscalModel::SetTime(int hour, int minute, int second) {
  CivilTime t = clock_.Now();
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return SetDateTime(t);
}

Outcome FiscalModel::SetVatRates(const std::vector<int64_t>& rates) {
  if (state_.day.open || document_open()) return Outcome::kRefused;
  if (rates.empty() || rates.size() > static_cast<size_t>(default_vat())) {
    return Outcome::kBadData;
  }
  for (int64_t r : rates) {
    if (r < 0 || r > 9999) return Outcome::kBadData;
  }
  for (size_t i = 0; i < rates.size(); ++i) {
    state_.rates[i + 1] = static_cast<int32_t>(rates[i]);
  }
  return Outcome::kOk;
}

Outcome FiscalModel::SetHeaderLine(int32_t line, std::string_view text, int32_t attribute) {
  if (state_.day.open || document_open()) return Outcome::kRefused;
  if (line < 1 || line > static_cast<int32_t>(state_.headers.size())) return Outcome::kBadData;
  if (text.size() > 2 * kPaperColumns) return Outcome::kBadData;
  state_.headers[static_cast<size_t>(line - 1)] = HeaderLine{std::string(text), attribute};
  return Outcome::kOk;
}

Outcome FiscalModel::SetTrainingMode(int32_t on) {
  if (document_open()) return Outcome::kRefused;
  if (on != 0 && on != 1) return Outcome::kBadData;
  state_.training = on == 1;
  return Outcome::kOk;
}

Outcome FiscalModel::ReadDepartment(int32_t number, std::string* record) const {
  if (number < 1 || number > static_cast<int32_t>(state_.departments.size())) {
    return Outcome::kBadData;
  }
  *record = state_.departments[static_cast<size_t>(number - 1)];
  return Outcome::kOk;
}

Outcome FiscalModel::WriteDepartment(int32_t number, std::string_view record) {
  if (state_.day.open || document_open()) return Outcome::kRefused;
  if (number < 1 || number > static_cast<int32_t>(state_.departments.size())) {
    return Outcome::kBadData;
  }
  // Three records travel in one answer of at most 500 bytes (the driver's receive buffer).
  if (record.size() > kMaxDepartmentRecord) return Outcome::kBadData;
  const auto fields = SplitColon(record);
  if (fields.size() < 6 || fields[0].size() > static_cast<size_t>(profile_.description_length)) {
    return Outcome::kBadData;
  }
  int64_t v = 0;
  for (size_t i = 1; i <= 4; ++i) {
    if (!ParseNumber(fields[i], &v) || v < 0) return Outcome::kBadData;
  }
  if (!ParseNumber(fields[5], &v) || !ValidVat(static_cast<int32_t>(v))) {
    return Outcome::kBadData;
  }
  state_.departments[static_cast<size_t>(number - 1)] = std::string(record);
  return Outcome::kOk;
}

int32_t FiscalModel::DepartmentVat(int32_t number) const {
  if (number < 1 || number > static_cast<int32_t>(state_.departments.size())) return 0;
  const auto fields = SplitColon(state_.departments[static_cast<size_t>(number - 1)]);
  int64_t v = 0;
  if (fields.size() < 6 || !ParseNumber(fields[5], &v)) return 0;
  return static_cast<int32_t>(v);
}

// ---- Fiscal receipt ----------------------------------------------------------------------

Outcome FiscalModel::CheckSale(int32_t vat, int32_t department, int32_t* resolved) const {
  if (department != 0) {
    const int32_t dv = DepartmentVat(department);
    if (dv == 0) return Outcome::kBadData;
    *resolved = vat != 0 ? vat : dv;
  } else {
    *resolved = vat != 0 ? vat : default_vat();
  }
  return ValidVat(*resolved) ? Outcome::kOk : Outcome::kBadData;
}

Outcome FiscalModel::BeginReceipt() {
  if (document_open()) return Outcome::kRefused;
  StartDocument(DocKind::kSale);
  receipt_ = Receipt{};
  receipt_.training = state_.training;
  if (!receipt_.training) {
    receipt_.number = state_.day.FiscalDocuments() + 1;
    state_.day.open = true;
  }
  PrintHeader();
  if (receipt_.training) Out(Centered("*** TRAINING MODE ***"));
  Out(Columns("", profile_.currency));
  receipt_open_ = true;
  phase_ = kPhaseSales;
  return Outcome::kOk;
}

Outcome FiscalModel::BeginRefundReceipt(std::string_view text) {
  if (document_open()) return Outcome::kRefused;
  StartDocument(DocKind::kRefund);
  receipt_ = Receipt{};
  receipt_.refund_document = true;
  receipt_.training = state_.training;
  if (!receipt_.training) {
    receipt_.number = state_.day.FiscalDocuments() + 1;
    state_.day.open = true;
  }
  PrintHeader();
  if (receipt_.training) Out(Centered("*** TRAINING MODE ***"));
  Out(Centered("REFUND DOCUMENT"));
  if (!text.empty()) OutPrintLine(text);
  Out(Columns("", profile_.currency));
  receipt_open_ = true;
  phase_ = kPhaseRefund;
  return Outcome::kOk;
}

Outcome FiscalModel::PrintText(std::string_view text) {
  // Free text is allowed on an open receipt and below a voided one (until the cut).
  if (!receipt_open_ && phase_ != kPhaseVoided) return Outcome::kRefused;
  OutPrintLine(text);
  return Outcome::kOk;
}

void FiscalModel::AddEntry(ReceiptEntry e) {
  for (int v = 0; v < kVatSlots; ++v)
    receipt_.by_vat[static_cast<size_t>(v)] += e.effect[static_cast<size_t>(v)];
  receipt_.entries.push_back(std::move(e));
}

ReceiptEntry* FiscalModel::FindVoidable(ReceiptEntry::Kind kind, std::string_view description,
                                        int64_t amount, int32_t vat, int32_t department,
                                        int64_t quantity) {
  const std::string desc(description.substr(0, static_cast<size_t>(profile_.description_length)));
  ReceiptEntry* newest = nullptr;
  for (auto it = receipt_.entries.rbegin(); it != receipt_.entries.rend(); ++it) {
    if (it->kind != kind || it->cancelled || it->sent != amount) continue;
    if (department != 0 ? it->department != department : it->vat != vat) continue;
    if (kind == ReceiptEntry::kSale && it->quantity != Units(quantity)) continue;
    if (it->description == desc) return &*it;
    if (!newest) newest = &*it;
  }
  return newest;
}

Outcome FiscalModel::Sell(std::string_view description, int64_t price, int64_t quantity,
                          int32_t vat, int32_t department, int64_t unit) {
  if (!TakesItems()) return Outcome::kRefused;
  int32_t resolved = 0;
  if (Outcome o = CheckSale(vat, department, &resolved); o != Outcome::kOk) return o;
  if (price < 0 || price > kMaxAmount || quantity < 0 || unit < 0 || unit > kMaxAmount) {
    return Outcome::kBadData;
  }
  if (department != 0) {
    // A department may carry a price limit (field 2): a real printer refuses a dearer sale.
    const auto fields = SplitColon(state_.departments[static_cast<size_t>(department - 1)]);
    int64_t limit = 0;
    if (fields.size() > 2 && ParseNumber(fields[2], &limit) && limit > 0 && price > limit) {
      return Outcome::kBadData;
    }
  }
  const std::string desc(description.substr(0, static_cast<size_t>(profile_.description_length)));
  if (unit != 0) Out("  " + std::to_string(Units(quantity)) + " x " + FormatAmount(unit));
  Out(Columns(desc, FormatAmount(price) + " " + VatLabel(resolved)));
  ReceiptEntry e;
  e.kind = ReceiptEntry::kSale;
  e.description = desc;
  e.sent = price;
  e.vat = resolved;
  e.department = department;
  e.quantity = Units(quantity);
  e.effect[static_cast<size_t>(resolved)] = price;
  AddEntry(std::move(e));
  return Outcome::kOk;
}

Outcome FiscalModel::VoidItem(std::string_view description, int64_t price, int64_t quantity,
                              int32_t vat, int32_t department) {
  if (!TakesItems()) return Outcome::kRefused;
  int32_t resolved = 0;
  if (Outcome o = CheckSale(vat, department, &resolved); o != Outcome::kOk) return o;
  ReceiptEntry* item =
      FindVoidable(ReceiptEntry::kSale, description, price, resolved, department, quantity);
  if (!item) return Outcome::kBadData;                         // no such item on this receipt
  if (receipt_.Total() - price < 0) return Outcome::kBadData;  // void its discount first
  item->cancelled = true;
  // The void line names the item as it was sold.
  const std::string desc = item->description;
  Out(Columns("VOID " + desc, FormatAmount(-price) + " " + VatLabel(resolved)));
  ReceiptEntry e;
  e.kind = ReceiptEntry::kItemVoid;
  e.description = desc;
  e.sent = price;
  e.vat = resolved;
  e.department = department;
  e.effect[static_cast<size_t>(resolved)] = -price;
  AddEntry(std::move(e));
  return Outcome::kOk;
}

Outcome FiscalModel::ItemAdjustment(std::string_view description, int64_t amount, int32_t code,
                                    int32_t vat, int32_t department) {
  if (!TakesItems()) return Outcome::kRefused;
  if (!ValidCode(code)) return Outcome::kBadData;
  // An item adjustment applies to the last item sold that is still on the receipt.
  const ReceiptEntry* item = nullptr;
  for (auto it = receipt_.entries.rbegin(); it != receipt_.entries.rend(); ++it) {
    if (it->kind == ReceiptEntry::kSale && !it->cancelled) {
      item = &*it;
      break;
    }
  }
  if (!item) return Outcome::kRefused;
  // The adjustment follows the item's VAT: what the driver sends is only checked (it sends
  // the default index for "no VAT given").
  if (vat != 0 || department != 0) {
    int32_t sent_vat = 0;
    if (Outcome o = CheckSale(vat, department, &sent_vat); o != Outcome::kOk) return o;
  }
  const int32_t resolved = item->vat;
  int64_t value = amount;
  if (IsPercent(code)) {
    if (amount <= 0 || amount > 10000) return Outcome::kBadData;
    value = MulDivRound(item->sent, amount, 10000);
  } else if (amount <= 0 || amount > kMaxAmount) {
    return Outcome::kBadData;
  }
  if (IsDiscount(code) && (value > item->sent || receipt_.Total() - value < 0)) {
    return Outcome::kBadData;
  }
  std::string label(description);
  if (label.empty()) label = IsDiscount(code) ? "DISCOUNT" : "SURCHARGE";
  if (IsPercent(code)) label += " " + FormatPercent(amount);
  const int64_t effect = IsDiscount(code) ? -value : value;
  Out(Columns(label, FormatAmount(effect) + " " + VatLabel(resolved)));
  ReceiptEntry e;
  e.kind = ReceiptEntry::kAdjustment;
  e.description = label;
  e.sent = amount;
  e.code = code;
  e.vat = resolved;
  e.effect[static_cast<size_t>(resolved)] = effect;
  AddEntry(std::move(e));
  return Outcome::kOk;
}

Outcome FiscalModel::ItemAdjustmentVoid(int64_t amount, int32_t code, int32_t vat,
                                        int32_t department) {
  if (!TakesItems()) return Outcome::kRefused;
  if (!ValidCode(code)) return Outcome::kBadData;
  if (vat != 0 || department != 0) {
    int32_t sent_vat = 0;
    if (Outcome o = CheckSale(vat, department, &sent_vat); o != Outcome::kOk) return o;
  }
  for (auto it = receipt_.entries.rbegin(); it != receipt_.entries.rend(); ++it) {
    if (it->kind != ReceiptEntry::kAdjustment || it->cancelled || it->code != code ||
        it->sent != amount) {
      continue;
    }
    const int64_t effect = -it->effect[static_cast<size_t>(it->vat)];
    if (receipt_.Total() + effect < 0) return Outcome::kBadData;
    it->cancelled = true;
    Out(Columns("VOID " + it->description, FormatAmount(effect) + " " + VatLabel(it->vat)));
    ReceiptEntry e;
    e.kind = ReceiptEntry::kAdjustmentVoid;
    e.description = it->description;
    e.sent = amount;
    e.code = code;
    e.vat = it->vat;
    e.effect[static_cast<size_t>(it->vat)] = effect;
    AddEntry(std::move(e));
    return Outcome::kOk;
  }
  return Outcome::kBadData;
}

Outcome FiscalModel::SubtotalAdjustment(std::string_view description, int64_t amount,
                                        int32_t code) {
  if (!TakesItems()) return Outcome::kRefused;
  if (!ValidCode(code)) return Outcome::kBadData;
  const int64_t subtotal = receipt_.Total();
  if (subtotal <= 0) return Outcome::kRefused;
  // A percentage is taken on the goods: refund lines of a sales receipt hand money back and
  // are neither discounted nor surcharged.
  const VatArray goods = receipt_.Goods();
  int64_t value = amount;
  if (IsPercent(code)) {
    if (amount <= 0 || amount > 10000) return Outcome::kBadData;
    value = MulDivRound(Sum(goods), amount, 10000);
  } else if (amount <= 0 || amount > kMaxAmount) {
    return Outcome::kBadData;
  }
  if (IsDiscount(code) && value > subtotal) return Outcome::kBadData;
  const int64_t signed_value = IsDiscount(code) ? -value : value;
  // Spread the adjustment over the VAT indexes in proportion to their goods, so that the VAT
  // of each rate is computed on what was really charged; the rounding rest goes to the
  // largest share.
  int64_t positive = 0;
  size_t largest = 0;
  for (size_t v = 1; v < kVatSlots; ++v) {
    if (goods[v] > 0) {
      positive += goods[v];
      if (largest == 0 || goods[v] > goods[largest]) largest = v;
    }
  }
  if (positive <= 0) return Outcome::kRefused;
  ReceiptEntry e;
  e.kind = ReceiptEntry::kSubtotalAdjustment;
  int64_t spread = 0;
  for (size_t v = 1; v < kVatSlots; ++v) {
    if (goods[v] <= 0) continue;
    e.effect[v] = MulDivRound(signed_value, goods[v], positive);
    spread += e.effect[v];
  }
  e.effect[largest] += signed_value - spread;
  for (size_t v = 1; v < kVatSlots; ++v) {
    if (receipt_.by_vat[v] + e.effect[v] < 0) return Outcome::kBadData;
  }
  std::string label(description);
  if (label.empty()) label = IsDiscount(code) ? "SUBTOTAL DISCOUNT" : "SUBTOTAL SURCHARGE";
  if (IsPercent(code)) label += " " + FormatPercent(amount);
  Out(Columns("SUBTOTAL", FormatAmount(subtotal)));
  Out(Columns(label, FormatAmount(signed_value)));
  e.description = label;
  e.sent = amount;
  e.code = code;
  AddEntry(std::move(e));
  return Outcome::kOk;
}

Outcome FiscalModel::SubtotalAdjustmentVoid(int64_t amount, int32_t code) {
  if (!TakesItems()) return Outcome::kRefused;
  if (!ValidCode(code)) return Outcome::kBadData;
  for (auto it = receipt_.entries.rbegin(); it != receipt_.entries.rend(); ++it) {
    if (it->kind != ReceiptEntry::kSubtotalAdjustment || it->cancelled || it->code != code ||
        it->sent != amount) {
      continue;
    }
    ReceiptEntry e;
    e.kind = ReceiptEntry::kSubtotalAdjustmentVoid;
    e.description = it->description;
    e.sent = amount;
    e.code = code;
    for (size_t v = 0; v < kVatSlots; ++v) e.effect[v] = -it->effect[v];
    if (receipt_.Total() + Sum(e.effect) < 0) return Outcome::kBadData;
    it->cancelled = true;
    Out(Columns("VOID " + it->description, FormatAmount(Sum(e.effect))));
    AddEntry(std::move(e));
    return Outcome::kOk;
  }
  return Outcome::kBadData;
}

Outcome FiscalModel::Refund(std::string_view description, int64_t amount, int32_t vat,
                            int32_t department) {
  if (!receipt_open_ || (phase_ != kPhaseSales && phase_ != kPhaseRefund)) {
    return Outcome::kRefused;
  }
  int32_t resolved = 0;
  if (Outcome o = CheckSale(vat, department, &resolved); o != Outcome::kOk) return o;
  if (amount <= 0 || amount > kMaxAmount) return Outcome::kBadData;
  const std::string desc(description.substr(0, static_cast<size_t>(profile_.description_length)));
  // In a sales receipt a refund line takes money off the receipt (which may not go below
  // zero); in a refund document it is what the document pays back.
  const int64_t effect = receipt_.refund_document ? amount : -amount;
  if (receipt_.Total() + effect < 0) return Outcome::kBadData;
  Out(Columns(receipt_.refund_document ? desc : "REFUND " + desc,
              FormatAmount(effect) + " " + VatLabel(resolved)));
  ReceiptEntry e;
  e.kind = ReceiptEntry::kRefund;
  e.description = desc;
  e.sent = amount;
  e.vat = resolved;
  e.department = department;
  e.effect[static_cast<size_t>(resolved)] = effect;
  if (!receipt_.refund_document) receipt_.refund_lines += amount;
  AddEntry(std::move(e));
  return Outcome::kOk;
}

Outcome FiscalModel::RefundVoid(std::string_view description, int64_t amount, int32_t vat,
                                int32_t department) {
  if (!receipt_open_ || (phase_ != kPhaseSales && phase_ != kPhaseRefund)) {
    return Outcome::kRefused;
  }
  int32_t resolved = 0;
  if (Outcome o = CheckSale(vat, department, &resolved); o != Outcome::kOk) return o;
  ReceiptEntry* refund =
      FindVoidable(ReceiptEntry::kRefund, description, amount, resolved, department, 1);
  if (!refund) return Outcome::kBadData;  // no such refund line on this receipt
  const int64_t effect = -refund->effect[static_cast<size_t>(resolved)];
  if (receipt_.Total() + effect < 0) return Outcome::kBadData;
  refund->cancelled = true;
  const std::string desc = refund->description;
  Out(Columns("VOID REFUND " + desc, FormatAmount(effect) + " " + VatLabel(resolved)));
  ReceiptEntry e;
  e.kind = ReceiptEntry::kRefundVoid;
  e.description = desc;
  e.sent = amount;
  e.vat = resolved;
  e.department = department;
  e.effect[static_cast<size_t>(resolved)] = effect;
  if (!receipt_.refund_document) receipt_.refund_lines -= amount;
  AddEntry(std::move(e));
  return Outcome::kOk;
}

Outcome FiscalModel::Subtotal(int64_t) {
  if (!receipt_open_ || (phase_ != kPhaseSales && phase_ != kPhaseRefund)) {
    return Outcome::kRefused;
  }
  Out(Columns("SUBTOTAL", FormatAmount(receipt_.Total())));
  return Outcome::kOk;
}

Outcome FiscalModel::Total(int64_t) {
  if (!receipt_open_ || (phase_ != kPhaseSales && phase_ != kPhaseRefund)) {
    return Outcome::kRefused;
  }
  Out(kRule);
  Out(Columns("TOTAL " + profile_.currency, FormatAmount(receipt_.Total())));
  phase_ = kPhaseTotal;
  return Outcome::kOk;
}

Outcome FiscalModel::Payment(std::string_view description, int64_t amount, int32_t form) {
  if (!receipt_open_) return Outcome::kRefused;
  if (form < 0 || form >= profile_.payment_forms || amount < 0 || amount > kMaxAmount) {
    return Outcome::kBadData;
  }
  if (phase_ == kPhaseSales || phase_ == kPhaseRefund) {
    Total(0);  // paying without a total prints the total first, as the printer does
  } else if (phase_ != kPhaseTotal && phase_ != kPhasePaying) {
    return Outcome::kRefused;
  }
  Out(Columns(description.empty() ? PaymentFormName(form) : std::string(description),
              FormatAmount(amount)));
  receipt_.paid += amount;
  phase_ = kPhasePaying;
  return Outcome::kOk;
}

Outcome FiscalModel::NotPaid(std::string_view description, int64_t amount) {
  if (!receipt_open_ || (phase_ != kPhaseTotal && phase_ != kPhasePaying)) {
    return Outcome::kRefused;
  }
  if (amount <= 0 || amount > receipt_.Remaining()) return Outcome::kBadData;
  Out(Columns(
      description.empty() ? std::string("NOT PAID") : "NOT PAID " + std::string(description),
      FormatAmount(amount)));
  receipt_.not_paid += amount;
  phase_ = kPhasePaying;
  return Outcome::kOk;
}

Outcome FiscalModel::EndPayment(int64_t change) {
  if (!receipt_open_ || (phase_ != kPhaseTotal && phase_ != kPhasePaying)) {
    return Outcome::kRefused;
  }
  if (receipt_.Remaining() > 0) return Outcome::kRefused;  // still something to pay
  if (change != -receipt_.Remaining()) return Outcome::kBadData;
  receipt_.change = change;
  if (change > 0) Out(Columns("CHANGE", FormatAmount(change)));
  phase_ = kPhasePaid;
  return Outcome::kOk;
}

Outcome FiscalModel::Trailer(std::string_view text) {
  if (!(receipt_open_ && phase_ == kPhasePaid) && phase_ != kPhaseVoided) {
    return Outcome::kRefused;
  }
  OutPrintLine(text);
  return Outcome::kOk;
}

Outcome FiscalModel::VoidReceipt() {
  if (!receipt_open_) return Outcome::kRefused;
  Out(kRule);
  Out(Centered("*** RECEIPT VOIDED ***"));
  Out(Columns("VOIDED AMOUNT", FormatAmount(receipt_.Total())));
  Out(Columns(FormatPrinted(clock_.Now()),
              receipt_.training ? std::string("TRAINING") : "No. " + DocNumber()));
  if (receipt_.training) {
    Out(Centered("NOT A FISCAL DOCUMENT"));
    EndDocument(DocKind::kTraining);
  } else {
    state_.day.voided_receipts++;
    state_.day.voided_amount += receipt_.Total();
    EndDocument(DocKind::kVoided);
  }
  receipt_open_ = false;
  phase_ = kPhaseVoided;
  return Outcome::kOk;
}

void FiscalModel::CloseFiscalDocument(DocKind kind) {
  PrintVatBreakdown(receipt_.by_vat);
  Out(kRule);
  Out(Columns(FormatPrinted(clock_.Now()),
              receipt_.training ? std::string("TRAINING") : "No. " + DocNumber()));
  if (receipt_.training) {
    Out(Centered("NOT A FISCAL DOCUMENT"));
  } else {
    Out(Columns("FM " + profile_.fiscal_memory_id, profile_.printer_id));
    DayTotals& day = state_.day;
    for (size_t v = 0; v < kVatSlots; ++v) {
      day.by_vat[v] += kind == DocKind::kRefund ? -receipt_.by_vat[v] : receipt_.by_vat[v];
    }
    day.not_paid += receipt_.not_paid;
    if (kind == DocKind::kRefund) {
      day.refunds += receipt_.Total();
      day.refund_receipts++;
    } else {
      day.refunds += receipt_.refund_lines;
      day.fiscal_receipts++;
    }
  }
  last_receipt_ = receipt_;
  have_last_receipt_ = true;
  duplicate_printed_ = false;
  last_receipt_lines_ = doc_lines_;
  EndDocument(receipt_.training ? DocKind::kTraining : kind);
  receipt_open_ = false;
  phase_ = kPhaseIdle;
}

Outcome FiscalModel::EndReceipt() {
  if (!receipt_open_ || receipt_.refund_document || phase_ != kPhasePaid) {
    return Outcome::kRefused;
  }
  CloseFiscalDocument(DocKind::kSale);
  return Outcome::kOk;
}

Outcome FiscalModel::EndRefundReceipt() {
  if (!receipt_open_ || !receipt_.refund_document || phase_ != kPhasePaid) {
    return Outcome::kRefused;
  }
  CloseFiscalDocument(DocKind::kRefund);
  return Outcome::kOk;
}

// ---- Non-fiscal ---------------------------------------------------------------------------

Outcome FiscalModel::BeginNonFiscal() {
  if (document_open()) return Outcome::kRefused;
  StartDocument(DocKind::kNonFiscal);
  PrintHeader();
  phase_ = kPhaseNonFiscal;
  return Outcome::kOk;
}

Outcome FiscalModel::PrintNormal(int32_t station, std::string_view text) {
  if (phase_ != kPhaseNonFiscal) return Outcome::kRefused;
  if (station < 1 || station > 3) return Outcome::kBadData;  // journal, receipt or both
  for (const auto& l : RenderPrintLine(text, kPaperColumns, logo_)) {
    if (station == 1) {
      doc_lines_.push_back(l);  // the journal only: nothing on paper
    } else {
      Out(l);
    }
  }
  return Outcome::kOk;
}

Outcome FiscalModel::EndNonFiscal() {
  if (phase_ != kPhaseNonFiscal) return Outcome::kRefused;
  state_.day.nonfiscal_docs++;
  Out(kRule);
  Out(Columns(FormatPrinted(clock_.Now()),
              "NF " + Pad4(current_day()) + "-" + Pad4(state_.day.nonfiscal_docs)));
  Out(Centered("NON-FISCAL DOCUMENT"));
  EndDocument(DocKind::kNonFiscal);
  phase_ = kPhaseIdle;
  return Outcome::kOk;
}

// ---- Reports -----------------------------------------------------------------------------

std::vector<std::string> FiscalModel::ReportLines(const std::string& title, bool z) const {
  const DayTotals& day = state_.day;
  std::vector<std::string> l;
  l.push_back(Centered(title));
  l.push_back(Columns((z ? "Z " : "DAY ") + Pad4(current_day()), FormatPrinted(clock_.Now())));
  l.push_back(kRule);
  for (int v = 1; v <= default_vat(); ++v) {
    const int64_t g = day.by_vat[static_cast<size_t>(v)];
    if (g == 0) continue;
    const int32_t rate = state_.rates[static_cast<size_t>(v)];
    const int64_t vat = VatOfGross(g, rate);
    l.push_back("VAT " + VatLabel(v) + " " + FormatPercent(rate));
    l.push_back(Columns("  GROSS", FormatAmount(g)));
    l.push_back(Columns("  VAT", FormatAmount(vat)));
    l.push_back(Columns("  NET", FormatAmount(g - vat)));
  }
  l.push_back(Columns("REFUNDS", FormatAmount(day.refunds)));
  l.push_back(Columns("NOT PAID", FormatAmount(day.not_paid)));
  l.push_back(Columns("VOIDED AMOUNT", FormatAmount(day.voided_amount)));
  l.push_back(Columns("DAILY TOTAL", FormatAmount(day.Gross())));
  l.push_back(kRule);
  l.push_back(Columns("FISCAL RECEIPTS", std::to_string(day.fiscal_receipts)));
  l.push_back(Columns("REFUND RECEIPTS", std::to_string(day.refund_receipts)));
  l.push_back(Columns("VOIDED RECEIPTS", std::to_string(day.voided_receipts)));
  l.push_back(Columns("NON-FISCAL DOCUMENTS", std::to_string(day.nonfiscal_docs)));
  l.push_back(Columns("GRAND TOTAL", FormatAmount(state_.grand_total + day.Gross())));
  return l;
}

void FiscalModel::SetReport(std::string text) {
  report_ = std::move(text);
  report_pos_ = 0;
  report_active_ = true;
}

Outcome FiscalModel::DailyReport(std::string_view text, int32_t kind) {
  if (document_open()) return Outcome::kRefused;
  switch (kind) {
    case 1: {  // X report
      StartDocument(DocKind::kXReport);
      PrintHeader();
      if (!text.empty()) OutPrintLine(text);
      for (const auto& l : ReportLines("X REPORT", false)) Out(l);
      EndDocument(DocKind::kXReport);
      return Outcome::kOk;
    }
    case 2: {  // X report data to the PC
      std::string data;
      for (const auto& l : ReportLines("X REPORT", false)) data += l + "\n";
      SetReport(std::move(data));
      return Outcome::kOk;
    }
    case 0: {  // Z report: closes the day and writes a fiscal-memory record
      if (state_.training) return Outcome::kRefused;
      if (static_cast<int32_t>(state_.fiscal_memory.size()) >= profile_.fiscal_memory_records) {
        return Outcome::kRefused;  // fiscal memory full
      }
      StartDocument(DocKind::kZReport);
      PrintHeader();
      if (!text.empty()) OutPrintLine(text);
      for (const auto& l : ReportLines("Z REPORT", true)) Out(l);
      ZRecord r;
      r.number = current_day();
      r.when = clock_.Now();
      r.by_vat = state_.day.by_vat;
      r.rates = state_.rates;
      r.gross = state_.day.Gross();
      r.refunds = state_.day.refunds;
      r.not_paid = state_.day.not_paid;
      r.receipts = state_.day.fiscal_receipts;
      r.refund_receipts = state_.day.refund_receipts;
      r.voided = state_.day.voided_receipts;
      r.nonfiscal = state_.day.nonfiscal_docs;
      r.grand_total = state_.grand_total + r.gross;
      Out(Centered("Z REPORT " + Pad4(r.number) + " STORED"));
      EndDocument(DocKind::kZReport);
      state_.fiscal_memory.push_back(r);
      state_.grand_total = r.grand_total;
      state_.last_z = r.number;
      state_.day = DayTotals{};
      return Outcome::kOk;
    }
    case 9: {  // totalizer reset: only with the day closed, nothing fiscal is lost
      if (state_.day.open) return Outcome::kRefused;
      StartDocument(DocKind::kOther);
      PrintHeader();
      Out(Centered("TOTALIZER RESET"));
      if (!text.empty()) OutPrintLine(text);
      Out(Columns(FormatPrinted(clock_.Now()), "DAY " + Pad4(current_day())));
      EndDocument(DocKind::kOther);
      state_.day = DayTotals{};
      return Outcome::kOk;
    }
    default:
      return Outcome::kBadData;
  }
}

namespace {
std::string Ymd(const CivilTime& t) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", t.day, t.month, t.year);
  return buf;
}
}  // namespace

Outcome FiscalModel::FiscalMemoryReportByDate(int32_t summary, const CivilTime& from,
                                              const CivilTime& to) {
  if (document_open()) return Outcome::kRefused;
  if (!IsValidDate(from.year, from.month, from.day) || !IsValidDate(to.year, to.month, to.day) ||
      DateKey(from) > DateKey(to) || (summary != 1 && summary != 2)) {
    return Outcome::kBadData;
  }
  StartDocument(DocKind::kOther);
  PrintHeader();
  Out(Centered(summary == 2 ? "PERIODIC TOTALS REPORT" : "FISCAL MEMORY REPORT"));
  Out(Columns("FROM " + Ymd(from), "TO " + Ymd(to)));
  Out(kRule);
  int64_t total = 0;
  int32_t count = 0;
  for (const auto& r : state_.fiscal_memory) {
    if (DateKey(r.when) < DateKey(from) || DateKey(r.when) > DateKey(to)) continue;
    if (summary != 2)
      Out(Columns("Z " + Pad4(r.number) + " " + Ymd(r.when), FormatAmount(r.gross)));
    total += r.gross;
    ++count;
  }
  Out(kRule);
  Out(Columns("Z REPORTS", std::to_string(count)));
  Out(Columns("TOTAL OF PERIOD", FormatAmount(total)));
  EndDocument(DocKind::kOther);
  return Outcome::kOk;
}

Outcome FiscalModel::FiscalMemoryReportByNumber(int32_t summary, int32_t from, int32_t to) {
  if (document_open()) return Outcome::kRefused;
  if (from < 1 || from > to || (summary != 1 && summary != 2)) return Outcome::kBadData;
  StartDocument(DocKind::kOther);
  PrintHeader();
  Out(Centered(summary == 2 ? "PERIODIC TOTALS REPORT" : "FISCAL MEMORY REPORT"));
  Out(Columns("FROM Z " + Pad4(from), "TO Z " + Pad4(to)));
  Out(kRule);
  int64_t total = 0;
  int32_t count = 0;
  for (const auto& r : state_.fiscal_memory) {
    if (r.number < from || r.number > to) continue;
    if (summary != 2)
      Out(Columns("Z " + Pad4(r.number) + " " + Ymd(r.when), FormatAmount(r.gross)));
    total += r.gross;
    ++count;
  }
  Out(kRule);
  Out(Columns("Z REPORTS", std::to_string(count)));
  Out(Columns("TOTAL OF PERIOD", FormatAmount(total)));
  EndDocument(DocKind::kOther);
  return Outcome::kOk;
}

Outcome FiscalModel::JournalReport(int32_t destination, int32_t selection, int32_t type,
                                   const CivilTime& from, const CivilTime& to, int32_t from_number,
                                   int32_t to_number) {
  if (destination != 1 && destination != 2) return Outcome::kBadData;
  if (selection < 0 || selection > 3 || type < 0 || type > 2) return Outcome::kBadData;
  if (selection == 1 && DateKey(from) > DateKey(to)) return Outcome::kBadData;
  if (selection == 2 && from_number > to_number) return Outcome::kBadData;
  if (destination == 1 && document_open()) return Outcome::kRefused;
  std::vector<std::string> lines;
  int32_t count = 0;
  for (const auto& d : state_.journal) {
    if (selection == 1 && (DateKey(d.when) < DateKey(from) || DateKey(d.when) > DateKey(to))) {
      continue;
    }
    if (selection == 2 && (d.number < from_number || d.number > to_number)) continue;
    if (selection == 3 && d.day != current_day()) continue;
    const bool fiscal =
        d.kind == DocKind::kSale || d.kind == DocKind::kRefund || d.kind == DocKind::kVoided;
    if ((type == 1 && !fiscal) || (type == 2 && fiscal)) continue;
    lines.push_back("#" + std::to_string(d.number) + " DAY " + Pad4(d.day) + " " +
                    FormatPrinted(d.when));
    lines.insert(lines.end(), d.lines.begin(), d.lines.end());
    ++count;
  }
  if (destination == 2) {
    std::string data;
    for (const auto& l : lines) data += l + "\n";
    SetReport(std::move(data));
    return Outcome::kOk;
  }
  if (phase_ == kPhaseVoided) phase_ = kPhaseIdle;
  paper_.Print(Centered("ELECTRONIC JOURNAL REPORT"));
  for (const auto& l : lines) paper_.Print(l);
  paper_.Print(Columns("DOCUMENTS", std::to_string(count)));
  paper_.Print(Centered("END OF JOURNAL REPORT"));
  return Outcome::kOk;
}

Outcome FiscalModel::RequestedReport(int32_t number) {
  std::string data;
  auto add = [&data](const std::string& l) { data += l + "\n"; };
  switch (number) {
    case 1:
      add(Centered("VAT TABLE"));
      for (int v = 1; v <= default_vat(); ++v) {
        add(Columns("VAT " + VatLabel(v) + (v == default_vat() ? " (DEFAULT)" : ""),
                    FormatPercent(state_.rates[static_cast<size_t>(v)])));
      }
      break;
    case 2:
      add(Centered("DEPARTMENTS"));
      for (size_t d = 0; d < state_.departments.size(); ++d) {
        add(std::to_string(d + 1) + " " + state_.departments[d]);
      }
      break;
    case 3:
      add(Centered("PAYMENT FORMS"));
      for (int f = 0; f < profile_.payment_forms; ++f) {
        add(Columns(std::to_string(f), PaymentFormName(f)));
      }
      break;
    case 4:
      add(Centered("HEADER LINES"));
      for (size_t h = 0; h < state_.headers.size(); ++h) {
        add(std::to_string(h + 1) + " " + state_.headers[h].text);
      }
      break;
    case 5: {
      add(Centered("COUNTERS"));
      static const int kItems[] = {2, 3, 4, 5, 6, 7, 8, 11, 18, 20, 22};
      for (int item : kItems) {
        int64_t v = 0;
        DataItem(item, &v);
        add(Columns("ITEM " + std::to_string(item), std::to_string(v)));
      }
      break;
    }
    case 6:
      add(Centered("FISCAL MEMORY"));
      for (const auto& r : state_.fiscal_memory) {
        add(Columns("Z " + Pad4(r.number) + " " + Ymd(r.when), FormatAmount(r.gross)));
      }
      break;
    default:
      return Outcome::kBadData;
  }
  SetReport(std::move(data));
  return Outcome::kOk;
}

Outcome FiscalModel::ReadReportPiece(int32_t selector, bool* more, std::string* text) {
  if (selector != 0 && selector != 1) return Outcome::kBadData;
  if (selector == 1) report_pos_ = 0;
  // With no report requested the printer hands out the virtual ticket.
  if (!report_active_) SetReport(VirtualTicket());
  size_t n = std::min(kReportPiece, report_.size() - report_pos_);
  if (report_pos_ + n < report_.size()) {
    // Prefer ending a piece at a line end, so that pieces are whole lines.
    const size_t nl = report_.rfind('\n', report_pos_ + n - 1);
    if (nl != std::string::npos && nl >= report_pos_) n = nl - report_pos_ + 1;
  }
  *text = report_.substr(report_pos_, n);
  report_pos_ += n;
  *more = report_pos_ < report_.size();
  if (!*more) report_active_ = false;
  return Outcome::kOk;
}

std::string FiscalModel::VirtualTicket() const {
  const auto& lines = receipt_open_ ? doc_lines_ : last_receipt_lines_;
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

Outcome FiscalModel::PrintDuplicate() {
  if (document_open() || !have_last_receipt_ || duplicate_printed_) return Outcome::kRefused;
  if (phase_ == kPhaseVoided) phase_ = kPhaseIdle;
  paper_.Print(Centered("*** DUPLICATE ***"));
  for (const auto& l : last_receipt_lines_) paper_.Print(l);
  paper_.Print(Centered("*** DUPLICATE - NOT VALID ***"));
  duplicate_printed_ = true;
  return Outcome::kOk;
}

void FiscalModel::Cut(int32_t kind) {
  PrintCut(kind);
  if (phase_ == kPhaseVoided) phase_ = kPhaseIdle;
}

void FiscalModel::Reset() {
  if (receipt_open_) VoidReceipt();
  if (phase_ == kPhaseNonFiscal) EndNonFiscal();
  phase_ = kPhaseIdle;
  report_active_ = false;
}

void FiscalModel::PowerCycle() {
  // A receipt open when the power went is voided when it comes back, as fiscal law wants.
  if (receipt_open_) {
    Out(Centered("POWER FAILURE"));
    VoidReceipt();
  }
  if (phase_ == kPhaseNonFiscal) EndNonFiscal();
  phase_ = kPhaseIdle;
  report_active_ = false;
  state_.restarts++;
}

// ---- Data --------------------------------------------------------------------------------

Outcome FiscalModel::DataItem(int32_t item, int64_t* value) const {
  const DayTotals& day = state_.day;
  switch (item) {
    case 0:  // still to pay on the open receipt (negative: change due)
      *value = !receipt_open_                                      ? 0
               : (phase_ == kPhaseSales || phase_ == kPhaseRefund) ? receipt_.Total()
                                                                   : receipt_.Remaining();
      return Outcome::kOk;
    case 1:
      *value = receipt_open_ ? receipt_.Total() : (have_last_receipt_ ? last_receipt_.Total() : 0);
      return Outcome::kOk;
    case 2:
      *value = day.Gross();
      return Outcome::kOk;
    case 3:
      *value = receipt_open_ && !receipt_.training ? receipt_.number : day.FiscalDocuments();
      return Outcome::kOk;
    case 4:
      *value = day.refunds;
      return Outcome::kOk;
    case 5:
      *value = day.not_paid;
      return Outcome::kOk;
    case 6:
      *value = day.voided_receipts;
      return Outcome::kOk;
    case 7:
      *value = state_.last_z;
      return Outcome::kOk;
    case 8:
      *value = state_.grand_total + day.Gross();
      return Outcome::kOk;
    case 11:
      *value = state_.restarts;
      return Outcome::kOk;
    case 18:
      *value = day.FiscalDocuments();
      return Outcome::kOk;
    case 20:
      *value = day.fiscal_receipts;
      return Outcome::kOk;
    case 22:
      *value = day.nonfiscal_docs;
      return Outcome::kOk;
    default:
      return Outcome::kBadData;
  }
}

Outcome FiscalModel::Totalizer(int32_t index, int32_t selector, int32_t kind,
                               int64_t* value) const {
  if (!ValidVat(index)) return Outcome::kBadData;
  const int32_t rate = state_.rates[static_cast<size_t>(index)];
  if (selector == 0) {
    *value = rate;
    return Outcome::kOk;
  }
  if ((selector != 1 && selector != 2) || (kind != 1 && kind != 2)) return Outcome::kBadData;
  int64_t gross = 0;
  if (selector == 1) {
    gross = state_.day.by_vat[static_cast<size_t>(index)];
  } else if (receipt_open_) {
    gross = receipt_.by_vat[static_cast<size_t>(index)];
  } else if (have_last_receipt_) {
    gross = last_receipt_.by_vat[static_cast<size_t>(index)];
  }
  *value = kind == 1 ? gross : gross - VatOfGross(gross, rate);
  return Outcome::kOk;
}

void FiscalModel::ZReportData(std::vector<std::string>* f) const {
  const DayTotals& day = state_.day;
  f->clear();
  f->push_back(std::to_string(state_.last_z));
  if (!state_.fiscal_memory.empty()) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08d", DateKey(state_.fiscal_memory.back().when));
    f->push_back(buf);
  } else {
    f->push_back("00000000");
  }
  for (int64_t v :
       {static_cast<int64_t>(current_day()), static_cast<int64_t>(day.fiscal_receipts),
        static_cast<int64_t>(day.FiscalDocuments()), static_cast<int64_t>(day.nonfiscal_docs),
        static_cast<int64_t>(day.voided_receipts), static_cast<int64_t>(day.refund_receipts)}) {
    f->push_back(std::to_string(v));
  }
}

void FiscalModel::ZReportAmount(std::vector<std::string>* f) const {
  f->clear();
  f->push_back(std::to_string(current_day()));
  f->push_back(profile_.currency);
  f->push_back(FormatAmount(state_.day.Gross()));
}

}  // namespace kelo::sim

#include "device/fpu_fiscal_device.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <type_traits>

#include "device/line_composer.h"

namespace kelo::device {

using link::FpuProtocol;

FpuFiscalDevice::FpuFiscalDevice(platform::Clock& clock) : clock_(clock) {}

FpuFiscalDevice::~FpuFiscalDevice() {
  Close();
}

template <typename Fn>
int32_t FpuFiscalDevice::Command(Fn&& fn) {
  std::shared_lock<std::shared_mutex> lock(engine_mu_);
  if (!engine_) return link::LINK_E_TIMEOUT;
  int32_t result = fn(*engine_);
  RefreshFrom(*engine_);
  return result;
}

namespace {

// The identity of a guarded line: its kind and every field it sends.
template <typename... Fields>
std::string LineKey(char kind, const Fields&... fields) {
  std::string key(1, kind);
  auto add = [&key](const auto& field) {
    key += '\x1F';
    if constexpr (std::is_convertible_v<decltype(field), std::string_view>) {
      key += std::string_view(field);
    } else {
      key += std::to_string(field);
    }
  };
  (add(fields), ...);
  return key;
}

}  // namespace

template <typename Fn>
int32_t FpuFiscalDevice::GuardedLine(ReceiptLineGuard::Line line, Fn&& fn) {
  const ReceiptLineGuard::Readers readers{
      [this](int64_t* amount) {
        return Command(
            [amount](FpuProtocol& e) { return e.GetDataItem(kAmountRemaining, amount); });
      },
      [this](std::string* ticket) {
        return Command([ticket](FpuProtocol& e) { return ReadVirtualTicketFrom(e, ticket); });
      }};
  return guard_.Run(line, readers, [&] { return Command(fn); });
}

template <typename Fn>
int32_t FpuFiscalDevice::StructuralCommand(Fn&& fn) {
  guard_.Forget();
  return Command(std::forward<Fn>(fn));
}

void FpuFiscalDevice::RefreshFrom(FpuProtocol& engine) {
  int32_t fatal = 0;
  uint32_t status = 0;
  int32_t reply = 0;
  engine.GetLastStatus(&fatal, &status, &reply);
  StoreLastStatus(fatal, status);
}

int32_t FpuFiscalDevice::Open() {
  guard_.Forget();  // what happened on the line while nobody listened is unknown
  {
    std::unique_lock<std::shared_mutex> lock(engine_mu_);
    if (engine_) return link::LINK_OK;
    // Without a port there is no printer to talk to: every request then answers "no
    // answer" (106), so the unit reports "Device not found" rather than a model error.
    if (port() == nullptr) return link::LINK_E_TIMEOUT;
    auto engine = std::make_unique<FpuProtocol>(clock_);
    int32_t result = engine->SetPort(port());
    if (result != link::LINK_OK) return result;
    if (link_trace_) engine->SetTraceSink(link_trace_);
    if (cancel_.load()) engine->AbortExchanges();
    engine->Start();
    engine_ = std::move(engine);
    firmware_checked_ = false;
  }
  return CheckFirmware();
}

void FpuFiscalDevice::Close() {
  guard_.Forget();
  std::unique_lock<std::shared_mutex> lock(engine_mu_);
  if (!engine_) return;
  engine_->Stop();
  engine_.reset();
}

void FpuFiscalDevice::CancelExchanges(bool cancel) {
  cancel_.store(cancel);
  // Shared: the exchange in progress holds the lock shared too, and is what this ends.
  std::shared_lock<std::shared_mutex> lock(engine_mu_);
  if (!engine_) return;
  if (cancel) {
    engine_->AbortExchanges();
  } else {
    engine_->ResumeExchanges();
  }
}

bool FpuFiscalDevice::LinkLost() {
  link::SerialPort* p = port();
  if (p == nullptr) return false;
  // A network peer that closed while the line was idle is noticed here, before the next
  // command is sent into the closed connection. Shared: the look only polls the descriptor,
  // which changes only under the exclusive lock (ReopenLink).
  std::shared_lock<std::shared_mutex> lock(engine_mu_);
  return p->NoticeHangUp();
}

int32_t FpuFiscalDevice::ReopenLink() {
  // Exclusive: no command of any thread is using the port while its descriptor changes.
  // Commands on a lost port end at once, so this does not wait on a printer.
  std::unique_lock<std::shared_mutex> lock(engine_mu_);
  link::SerialPort* p = port();
  if (p == nullptr) return link::LINK_E_TIMEOUT;
  return p->Reopen() == link::kPortOk ? link::LINK_OK : link::LINK_E_TIMEOUT;
}

std::string FpuFiscalDevice::LinkPeer() {
  std::shared_lock<std::shared_mutex> lock(engine_mu_);
  link::SerialPort* p = port();
  return p == nullptr ? std::string() : p->peer();
}

void FpuFiscalDevice::SetLinkTrace(std::function<void(std::string_view line)> sink) {
  std::unique_lock<std::shared_mutex> lock(engine_mu_);
  link_trace_ = std::move(sink);
  if (engine_) engine_->SetTraceSink(link_trace_);
}

void FpuFiscalDevice::PrinterAnswered() {
  if (!firmware_checked_) CheckFirmware();
}

bool FpuFiscalDevice::firmware_checked() const {
  return firmware_checked_.load();
}

int32_t FpuFiscalDevice::CheckFirmware() {
  link::FpuDeviceInfo info;
  int32_t result = ReadDeviceInfo(&info);
  if (result != link::LINK_OK) return result;
  std::shared_lock<std::shared_mutex> lock(engine_mu_);
  if (!engine_) return link::LINK_E_TIMEOUT;
  if (link::DecimalField(info.field3) <= kLastPollModeFirmware) engine_->SetPollMode(true);
  firmware_checked_ = true;
  return link::LINK_OK;
}

int32_t FpuFiscalDevice::ReadDeviceInfo(link::FpuDeviceInfo* info) {
  return Command([info](FpuProtocol& e) { return e.GetDeviceInfo(info); });
}

int32_t FpuFiscalDevice::ReadConfiguration(ConfigRecord* out) {
  std::array<int32_t, 16> info1{};
  std::array<int32_t, 4> info2{};
  std::string text;
  int32_t result = Command([&](FpuProtocol& e) {
    int32_t r = e.GetDeviceInfo1(&info1);
    if (r == link::LINK_OK) r = e.GetDeviceInfo2(&text, &info2);
    return r;
  });
  if (result != link::LINK_OK) return result;
  ConfigRecord record = MakeConfigRecord(info1, info2, text);
  StoreConfiguration(record);
  if (out) *out = record;
  return link::LINK_OK;
}

int32_t FpuFiscalDevice::Probe() {
  return Command([this](FpuProtocol& e) {
    link::FpuDateTime now;
    uint32_t flags = 0;
    int32_t phase = 0;
    int32_t r = e.QueryStatus(&now, &flags, &phase);
    if (r == link::LINK_E_TIMEOUT) {
      StoreProbeUnanswered();
    } else if (r == link::LINK_OK) {
      StoreProbeAnswer(flags, phase);
    } else {
      // It answered, but the answer could not be read: online, flags as they were.
      DeviceStatusBlock block = CopyStatus();
      StoreProbeAnswer(static_cast<uint32_t>((block[DeviceStatusBlock::kFiscalized] ? 0x01 : 0) |
                                             (block[DeviceStatusBlock::kReceiptOpen] ? 0x02 : 0) |
                                             (block[DeviceStatusBlock::kNonFiscalOpen] ? 0x04 : 0) |
                                             (block[DeviceStatusBlock::kDayOpened] ? 0x08 : 0) |
                                             (block[DeviceStatusBlock::kTrainingMode] ? 0x10 : 0)),
                       block[DeviceStatusBlock::kDocumentPhase]);
    }
    return r;
  });
}

void FpuFiscalDevice::RefreshStatus() {
  std::shared_lock<std::shared_mutex> lock(engine_mu_);
  if (engine_) RefreshFrom(*engine_);
}

int32_t FpuFiscalDevice::SendReceiptLines(FpuProtocol& engine, std::string_view text,
                                          bool trailer) {
  for (const std::string& line : SplitPrintLines(text, kMaxReceiptLines, trailer)) {
    int32_t r = trailer ? engine.PrintTrailerText(line) : engine.PrintReceiptText(line);
    if (r != link::LINK_OK) return r;
  }
  return link::LINK_OK;
}

int32_t FpuFiscalDevice::OpenReceipt(std::string_view header) {
  const int32_t r = StructuralCommand([&](FpuProtocol& e) {
    int32_t r = e.BeginFiscalReceipt();
    if (r == link::LINK_OK) r = SendReceiptLines(e, header, false);
    return r;
  });
  guard_.ReceiptOpened(r == link::LINK_OK, false);
  return r;
}

int32_t FpuFiscalDevice::OpenRefundReceipt(std::string_view document, std::string_view header) {
  const int32_t r = StructuralCommand([&](FpuProtocol& e) {
    int32_t r = e.BeginRefundReceipt(document);
    if (r == link::LINK_OK) r = SendReceiptLines(e, header, false);
    return r;
  });
  guard_.ReceiptOpened(r == link::LINK_OK, true);
  return r;
}

int32_t FpuFiscalDevice::CloseReceipt(std::string_view trailer) {
  int32_t r = StructuralCommand([&](FpuProtocol& e) { return SendReceiptLines(e, trailer, true); });
  if (r != link::LINK_OK) return r;
  Probe();
  if (CopyStatus()[DeviceStatusBlock::kReceiptOpen] != 0) {
    r = Command([](FpuProtocol& e) { return e.EndFiscalReceipt(); });
    if (r != link::LINK_OK) return r;
  }
  return Command([](FpuProtocol& e) { return e.CutPaper(100); });
}

int32_t FpuFiscalDevice::CloseRefundReceipt(std::string_view trailer) {
  return StructuralCommand([&](FpuProtocol& e) {
    int32_t r = SendReceiptLines(e, trailer, true);
    if (r == link::LINK_OK) r = e.EndRefundReceipt();
    if (r == link::LINK_OK) r = e.CutPaper(100);
    return r;
  });
}

namespace {

using Effect = ReceiptLineGuard::Line::Effect;

bool IsPercentCode(int32_t code) {
  return code == 20 || code == 21;
}

bool IsDiscountCode(int32_t code) {
  return code == 10 || code == 20;
}

// An adjustment's effect on the amount to pay: an amount discount takes its amount off, an
// amount surcharge adds it; a percentage's amount only the printer knows. A void of the
// adjustment (undo) does the opposite.
ReceiptLineGuard::Line AdjustmentLine(std::string key, int32_t code, int64_t amount, bool undo) {
  if (IsPercentCode(code)) return {std::move(key), Effect::kPrinter, 0};
  const int64_t change = IsDiscountCode(code) ? -amount : amount;
  return {std::move(key), Effect::kSure, undo ? -change : change};
}

}  // namespace

int32_t FpuFiscalDevice::SellItem(std::string_view description, int64_t price, int64_t quantity,
                                  int32_t vat_index, int32_t department, int64_t unit_price) {
  return GuardedLine({LineKey('S', description, price, quantity, vat_index, department, unit_price),
                      Effect::kSure, price},
                     [&](FpuProtocol& e) {
                       return e.SellItem(description, price, quantity, vat_index, department,
                                         unit_price);
                     });
}

int32_t FpuFiscalDevice::PrintMessage(std::string_view text) {
  const int32_t r = Command([&](FpuProtocol& e) { return SendReceiptLines(e, text, false); });
  if (r == link::LINK_OK) {
    guard_.NotePrinted(text);
  } else {
    guard_.NotePrinted("?");  // some of it may be on the receipt: surely no subtotal line
  }
  return r;
}

int32_t FpuFiscalDevice::ItemAdjustment(int32_t code, std::string_view description, int64_t amount,
                                        int32_t vat_index, int32_t department) {
  return GuardedLine(AdjustmentLine(LineKey('A', code, description, amount, vat_index, department),
                                    code, amount, false),
                     [&](FpuProtocol& e) {
                       return e.ItemAdjustment(description, amount, code, vat_index, department);
                     });
}

int32_t FpuFiscalDevice::SubtotalAdjustment(int32_t code, std::string_view description,
                                            int64_t amount) {
  return GuardedLine(
      AdjustmentLine(LineKey('T', code, description, amount), code, amount, false),
      [&](FpuProtocol& e) { return e.SubtotalAdjustment(description, amount, code); });
}

int32_t FpuFiscalDevice::ItemAdjustmentVoid(int32_t code, int64_t amount, int32_t vat_index,
                                            int32_t department) {
  return GuardedLine(
      AdjustmentLine(LineKey('a', code, amount, vat_index, department), code, amount, true),
      [&](FpuProtocol& e) { return e.ItemAdjustmentVoid(amount, code, vat_index, department); });
}

int32_t FpuFiscalDevice::VoidItem(std::string_view description, int64_t price, int64_t quantity,
                                  int32_t vat_index, int32_t department) {
  return GuardedLine(
      {LineKey('V', description, price, quantity, vat_index, department), Effect::kSure, -price},
      [&](FpuProtocol& e) {
        return e.VoidItem(description, price, quantity, vat_index, department);
      });
}

int32_t FpuFiscalDevice::Refund(std::string_view description, int64_t amount, int32_t vat_index,
                                int32_t department) {
  // In a sales receipt a refund line takes its amount off; in a refund document it is what
  // the document pays back.
  return GuardedLine(
      {LineKey('R', description, amount, vat_index, department), Effect::kRefund, -amount},
      [&](FpuProtocol& e) { return e.Refund(description, amount, vat_index, department); });
}

int32_t FpuFiscalDevice::RefundVoid(std::string_view description, int64_t amount, int32_t vat_index,
                                    int32_t department) {
  return GuardedLine(
      {LineKey('r', description, amount, vat_index, department), Effect::kRefund, amount},
      [&](FpuProtocol& e) { return e.RefundVoid(description, amount, vat_index, department); });
}

int32_t FpuFiscalDevice::Subtotal(int64_t amount) {
  return GuardedLine({LineKey('s', amount), Effect::kSubtotal, 0},
                     [&](FpuProtocol& e) { return e.Subtotal(amount); });
}

int32_t FpuFiscalDevice::Total(int64_t amount) {
  const int32_t r = Command([&](FpuProtocol& e) { return e.Total(amount); });
  guard_.NotePrinted("TOTAL");  // whether printed or not, no subtotal line
  return r;
}

int32_t FpuFiscalDevice::Payment(std::string_view description, int64_t amount, int32_t form) {
  return GuardedLine({LineKey('P', description, amount, form), Effect::kSure, -amount},
                     [&](FpuProtocol& e) { return e.Payment(description, amount, form); });
}

int32_t FpuFiscalDevice::NotPaid(std::string_view description, int64_t amount) {
  return GuardedLine({LineKey('N', description, amount), Effect::kSure, -amount},
                     [&](FpuProtocol& e) { return e.NotPaid(description, amount); });
}

int32_t FpuFiscalDevice::ClosePayment(int64_t change) {
  return StructuralCommand([&](FpuProtocol& e) { return e.EndPayment(change); });
}

int32_t FpuFiscalDevice::VoidReceipt() {
  return StructuralCommand([](FpuProtocol& e) { return e.VoidReceipt(); });
}

int32_t FpuFiscalDevice::ReadReceiptAmount(int32_t which, int64_t* value) {
  const int32_t r = Command([&](FpuProtocol& e) { return e.GetDataItem(which, value); });
  if (r == link::LINK_OK && which == kAmountRemaining) guard_.Observe(*value);
  return r;
}

bool FpuFiscalDevice::KnownAmountRemaining(int64_t* value) {
  const std::optional<int64_t> known = guard_.KnownRemaining();
  if (known) *value = *known;
  return known.has_value();
}

int32_t FpuFiscalDevice::SetDateAndTime(const link::FpuDateTime& date_time) {
  return Command([&](FpuProtocol& e) {
    int32_t r = e.SetDate(date_time);
    if (r == link::LINK_OK) r = e.SetTime(date_time);
    return r;
  });
}

int32_t FpuFiscalDevice::SetHeaderLine(int32_t line, std::string_view text, int32_t attribute) {
  std::string composed = HeaderAttributePrefix(attribute);
  composed.append(text);
  return Command([&](FpuProtocol& e) { return e.SetHeaderLine(line, composed, 0); });
}

int32_t FpuFiscalDevice::ReadVatRate(int32_t vat_index, int32_t* rate) {
  int64_t value = 0;
  int32_t r = Command([&](FpuProtocol& e) { return e.GetTotalizer(vat_index, 0, 2, &value); });
  if (r == link::LINK_OK && rate) *rate = static_cast<int32_t>(value);
  return r;
}

int32_t FpuFiscalDevice::WriteVatTable(const std::vector<int32_t>& rates) {
  ConfigRecord config = Configuration();
  if (config.valid && rates.size() < static_cast<size_t>(std::max(config.num_vat_rates, 0))) {
    return link::LINK_E_PROTOCOL;
  }
  return Command([&](FpuProtocol& e) { return e.SetVatRates(rates); });
}

int32_t FpuFiscalDevice::SetTrainingMode(bool on) {
  return Command([&](FpuProtocol& e) { return e.SetTrainingMode(on ? 1 : 0); });
}

int32_t FpuFiscalDevice::ResetPrinter() {
  return StructuralCommand([](FpuProtocol& e) { return e.ResetPrinter(); });
}

int32_t FpuFiscalDevice::HealthCheck() {
  return Command([](FpuProtocol& e) { return e.HealthCheck(); });
}

int32_t FpuFiscalDevice::BeginNonFiscal() {
  return Command([](FpuProtocol& e) { return e.BeginNonFiscal(); });
}

int32_t FpuFiscalDevice::EndNonFiscal() {
  return Command([](FpuProtocol& e) { return e.EndNonFiscal(); });
}

int32_t FpuFiscalDevice::PrintNormal(int32_t station, std::string_view text, size_t max_lines) {
  return Command([&](FpuProtocol& e) {
    for (const std::string& line : SplitPrintLines(text, max_lines)) {
      int32_t r = e.PrintNormalLine(station, line);
      if (r != link::LINK_OK) return r;
    }
    return link::LINK_OK;
  });
}

int32_t FpuFiscalDevice::PrintBarcodeLine(int32_t station, std::string_view data, int32_t type) {
  std::string line = ComposeBarcodeLine(data, type);
  return Command([&](FpuProtocol& e) { return e.PrintNormalLine(station, line); });
}

int32_t FpuFiscalDevice::PrintLogoLine(int32_t station, int32_t logo, int32_t attribute) {
  std::string line = ComposeLogoLine(logo, attribute);
  return Command([&](FpuProtocol& e) { return e.PrintNormalLine(station, line); });
}

int32_t FpuFiscalDevice::PrintDailyReport(int32_t kind) {
  return Command([&](FpuProtocol& e) { return e.PrintDailyReport("", kind); });
}

int32_t FpuFiscalDevice::ReadDateTime(link::FpuDateTime* date_time) {
  return Command([&](FpuProtocol& e) {
    uint32_t flags = 0;
    int32_t phase = 0;
    return e.QueryStatus(date_time, &flags, &phase);
  });
}

int32_t FpuFiscalDevice::PrintDuplicate(int32_t value) {
  return Command([&](FpuProtocol& e) { return e.PrintDuplicate(value); });
}

int32_t FpuFiscalDevice::FiscalMemoryReportByDate(int32_t p1, int32_t p3,
                                                  const link::FpuDateTime& from,
                                                  const link::FpuDateTime& to) {
  return Command([&](FpuProtocol& e) { return e.PrintFiscalMemoryReportByDate(p1, p3, from, to); });
}

int32_t FpuFiscalDevice::FiscalMemoryReportByNumber(int32_t p1, int32_t p3, int32_t from,
                                                    int32_t to) {
  return Command(
      [&](FpuProtocol& e) { return e.PrintFiscalMemoryReportByNumber(p1, p3, from, to); });
}

int32_t FpuFiscalDevice::ReadDataItem(int32_t item, int64_t* value) {
  return Command([&](FpuProtocol& e) { return e.GetDataItem(item, value); });
}

int32_t FpuFiscalDevice::ReadTotalizer(int32_t vat_index, int32_t selector, int32_t kind,
                                       int64_t* value) {
  return Command([&](FpuProtocol& e) { return e.GetTotalizer(vat_index, selector, kind, value); });
}

int32_t FpuFiscalDevice::ReadZReportAmount(int64_t* number, std::string* text, double* amount) {
  return Command([&](FpuProtocol& e) { return e.ReadZReportAmount(number, text, amount); });
}

int32_t FpuFiscalDevice::ReadZReportData(link::FpuZReportData* data) {
  return Command([&](FpuProtocol& e) { return e.ReadZReportData(data); });
}

int32_t FpuFiscalDevice::ReadModelName(std::string* name) {
  link::FpuDeviceInfo info;
  int32_t r = ReadDeviceInfo(&info);
  if (r == link::LINK_OK && name) *name = info.field1;
  return r;
}

int32_t FpuFiscalDevice::ReadPrinterId(std::string* text) {
  link::FpuDeviceInfo info;
  int32_t r = ReadDeviceInfo(&info);
  if (r == link::LINK_OK && text) *text = info.field4;
  return r;
}

int32_t FpuFiscalDevice::ReadFirmwareText(std::string* text) {
  link::FpuDeviceInfo info;
  int32_t r = ReadDeviceInfo(&info);
  if (r == link::LINK_OK && text) *text = info.field2;
  return r;
}

int32_t FpuFiscalDevice::SetDeviceFlag(int32_t flag) {
  return Command([&](FpuProtocol& e) { return e.WriteDeviceFlag(flag & 0xFF); });
}

// ---- DirectIO ----

int32_t FpuFiscalDevice::WithProtocol(const std::function<int32_t(FpuProtocol&)>& fn) {
  // A raw command may sell, pay or void: the guard's figures no longer hold.
  return StructuralCommand([&fn](FpuProtocol& e) { return fn(e); });
}

}  // namespace kelo::device
